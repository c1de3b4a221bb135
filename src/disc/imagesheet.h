#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A cue sheet or cdrdao .toc file rewritten for libcdio 2.1, whose image drivers misread what
// their authors wrote: the private copy names its files through links in a private folder, and
// keeps a note of what libcdio does not say (the byte order, the text's encoding).
struct ImageSheet {
    struct Link {
        QString name;   // a file name in the private folder
        QString target; // the user's file it stands for, absolute
    };

    QByteArray text;
    // For each line of text, the number of the original line it comes from (libcdio's messages
    // name lines of the copy).
    QList<int> lineNumbers;
    QList<Link> links;
    // The files holding the sound; they must not go away or shrink while they are read.
    QStringList soundFiles;
    // Raw sound stored most significant byte first (a .toc's raw files, a cue's MOTOROLA file).
    bool bigEndian = false;
    // The sheet's text is UTF-8: libcdio reads every sheet as Latin-1, so its CD-Text needs
    // reading back (see textFromLibcdio).
    bool utf8Text = false;

    // Appends one line of the copy.
    void addLine(const QByteArray& line, int originalLine)
    {
        text += line;
        text += '\n';
        lineNumbers.append(originalLine);
    }
    // A CD-Text value as libcdio hands it over (UTF-8 made from what it took for Latin-1).
    QString textFromLibcdio(const char* value) const;

    // Whether bytes are UTF-8 holding at least one character beyond ASCII: a Latin-1 text with
    // accents is practically never valid UTF-8 as well.
    static bool looksLikeUtf8(const QByteArray& bytes);
    // The sheet's lines, without their line ends ("\r\n" or "\n") and without a UTF-8 byte-order mark.
    static QList<QByteArray> lines(QByteArray text);
};
