#pragma once

#include <QSet>
#include <QString>

// Output file names of a rip: the name style with its tokens (%d number, %t track name,
// %a artist, %l album title), made safe as one file name and kept unique within a session.
class OutputFileNaming {
public:
    OutputFileNaming() = delete;

    // "%d - %t" and the encoder's extension (".mp3").
    static QString defaultStyle(const QString& extension) { return QStringLiteral("%d - %t") + extension; }

    // The style applied to one track. An absent or empty style means the default one, with the
    // extension of the files the encoder makes; a one- or two-digit number and a space at the
    // start of the track name are dropped.
    static QString createOutputFilenameWithFormat(const QString& format, const QString& artistName,
                                                  qint32 trackNumber, const QString& trackName,
                                                  const QString& albumTitle, bool spacesToUnderscores,
                                                  const QString& extension);

    // folder/name, made one safe file name inside folder. When that path is already taken by
    // this session (taken) or by a file on disk, " 2", " 3", ... ("_2" with spaces converted)
    // go in front of the extension, so that no run overwrites another's file. Every name fits
    // in a file name's 255 bytes, extension and number kept.
    static QString uniqueOutputPath(const QString& folder, const QString& name, const QSet<QString>& taken,
                                    bool spacesToUnderscores);
};
