#pragma once

#include "lookup/lookuphost.h"

#include <QStringList>
#include <QThread>

// Stands in for the window of a lookup: keeps every alert as "title|text" and every list of
// matches offered, and answers with the given choice (-1: none chosen) after reading a while.
class RecordingHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        alerts << title + u'|' + text;
    }
    int displayMultipleAlbumMatches(const QStringList& matchLines) override
    {
        offered << matchLines;
        // A person reading the list.
        QThread::msleep(readingMilliseconds);
        return choice;
    }
    QStringList alerts;
    QList<QStringList> offered;
    int choice = 0;
    unsigned long readingMilliseconds = 0;
};
