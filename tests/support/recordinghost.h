#pragma once

#include "common/alertpresenter.h"
#include "lookup/disclookup.h"
#include "lookup/lookupfailure.h"
#include "lookup/lookuphost.h"

#include <QStringList>
#include <QThread>
#include <atomic>

// Stands in for the window of a lookup: keeps every failure handed to it, every alert (the
// default lookupFailed makes one of each) as "title|text", every progress line and every list of
// matches offered, and answers with the given choice (-1: none chosen) after reading a while.
class RecordingHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        alerts << title + u'|' + text;
    }
    void lookupFailed(const LookupFailure& failure) override
    {
        failures << failure;
        LookupHost::lookupFailed(failure);
    }
    void lookupProgress(const QString& line) override { progress << line; }
    int displayMultipleAlbumMatches(const QStringList& matchLines) override
    {
        offered << matchLines;
        // A person reading the list.
        QThread::msleep(readingMilliseconds);
        return choice;
    }
    void clear()
    {
        alerts.clear();
        failures.clear();
        progress.clear();
        offered.clear();
    }
    QStringList alerts;
    QList<LookupFailure> failures;
    QStringList progress;
    QList<QStringList> offered;
    int choice = 0;
    unsigned long readingMilliseconds = 0;
};

// Keeps every alert of a session as "title|text".
struct RecordingAlerts : AlertPresenter {
    void runAlertWithTitle(const QString& title, const QString& text) override
    {
        alerts << title + u'|' + text;
    }
    QStringList alerts;
};

// Finds Band's "Record" (CDDB rock 1402ce03) of count songs, "Song 1" on; with a gate, only once
// the gate is open or the lookup is cancelled.
struct SongsLookup : DiscLookup {
    explicit SongsLookup(int count, std::atomic<bool>* gate = nullptr) : m_count(count), m_gate(gate) {}
    void lookupCDInformation(const QString&) override
    {
        while (m_gate && !*m_gate && !m_cancelled)
            QThread::msleep(5);
    }
    std::optional<Album> getAlbumInfo() const override
    {
        Album album;
        album.setArtist(QStringLiteral("Band"));
        album.setTitle(QStringLiteral("Record"));
        album.setOrigin(AlbumOrigin::cddb(QStringLiteral("rock"), QStringLiteral("1402ce03")));
        for (int i = 1; i <= m_count; ++i)
            album.addTrack(
                Track::trackWithArtist(QStringLiteral("Band"), QStringLiteral("Song %1").arg(i), i));
        return album;
    }
    void cancel() override { m_cancelled = true; }
    int m_count;
    std::atomic<bool>* m_gate;
    std::atomic<bool> m_cancelled{false};
};
