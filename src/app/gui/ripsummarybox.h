#pragma once

#include "rip/sessionreport.h"

#include <QMessageBox>

// The one message at the end of a rip: how many tracks were made and where, which were not and
// why, distinct for a finished, a stopped and a partly failed rip, with a button that opens the
// album folder. Named "ripSummary".
class RipSummaryBox : public QMessageBox {
    Q_OBJECT
public:
    RipSummaryBox(const SessionReport& report, QWidget* parent);

    static QString titleFor(const SessionReport& report);
    static QString textFor(const SessionReport& report);
    // The failed and left-out tracks, one line each; empty when every track was made.
    static QString detailsFor(const SessionReport& report);

    QAbstractButton* openFolderButton() const { return m_openFolder; }
    // Shown when AccurateRip found the drive's read offset.
    QAbstractButton* useOffsetButton() const { return m_useOffset; }

Q_SIGNALS:
    // The user takes the read offset AccurateRip found, for that drive (empty: no drive known).
    void readOffsetTaken(const QString& drive, int offset);

private:
    QAbstractButton* m_openFolder = nullptr;
    QAbstractButton* m_useOffset = nullptr;
};
