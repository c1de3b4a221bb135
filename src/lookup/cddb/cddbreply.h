#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Pure helpers for the text of a CDDB server's replies: a status line "<code> <text>" ended by
// CR LF, and for codes whose middle digit is 1 (210, 211, ...) further lines up to a line
// holding only ".".
class CDDBReply {
public:
    CDDBReply() = delete;

    // The leading decimal number (optionally signed) of the text before the first space; 0 when
    // that text does not begin with one. Throws VeskException when the reply holds no space.
    static qint32 replyCode(const QString& reply);

    // Whether a status line with this code is followed by data lines and a "." line.
    static bool hasDataLines(qint32 code);

    // The position just behind the first "." line that starts behind the line end at or after
    // from, or -1.
    static qsizetype endOfTerminator(const QByteArray& data, qsizetype from);

    // Reply bytes as text: UTF-8 when they are valid UTF-8 (what a level-6 server sends, and some
    // servers send it at any level), ISO 8859-1 otherwise (what level 5 means, and it reads any
    // byte, so nothing turns into replacement characters).
    static QString decode(const QByteArray& bytes);
    // The reply's first line as a person may read it: control characters removed, at most 200
    // characters.
    static QString statusLineForPeople(const QString& reply);

    // A match line ("rock 8608460b Van Halen / Van Halen") as the chooser shows it: "Van Halen –
    // Van Halen (rock)", with the disc id too when asked ("(rock, 8608460b)"), without control
    // characters. A line without a title is shown as it is, escaped.
    static QString matchForPeople(const QString& matchLine, bool withDiscId = false);

    // The match lines of a 210 or 211 query reply: every line behind the status line up to the
    // first line that begins with ".", without line ends. Empty lines are skipped. Throws
    // VeskException when the list has no end.
    static QStringList matchLines(const QString& reply);
};
