#include "app/gui/ripsummarybox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

RipSummaryBox::RipSummaryBox(const SessionReport& report, QWidget* parent)
    : QMessageBox(report.allDone() ? QMessageBox::Information : QMessageBox::Warning,
                  QApplication::applicationDisplayName(), titleFor(report), QMessageBox::NoButton, parent)
{
    setObjectName(QStringLiteral("ripSummary"));
    setTextFormat(Qt::PlainText);
    setInformativeText(textFor(report));
    const QString details = detailsFor(report);
    if (!details.isEmpty())
        setDetailedText(details);
    QPushButton* close = addButton(QMessageBox::Close);
    if (report.done > 0 && !report.albumFolder.isEmpty()) {
        QPushButton* open = addButton(tr("&Open album folder"), QMessageBox::ActionRole);
        m_openFolder = open;
        // The box stays until closed; opening the folder does not close it.
        open->disconnect();
        const QString folder = report.albumFolder;
        connect(open, &QPushButton::clicked, this,
                [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
    }
    if (report.foundReadOffset) {
        const int offset = *report.foundReadOffset;
        QPushButton* use = addButton(tr("&Use read offset %1%2").arg(offset > 0 ? QStringLiteral("+") : QString()).arg(offset),
                                     QMessageBox::ActionRole);
        m_useOffset = use;
        use->disconnect();
        const QString drive = report.drive;
        connect(use, &QPushButton::clicked, this, [this, use, drive, offset] {
            use->setEnabled(false);
            Q_EMIT readOffsetTaken(drive, offset);
        });
    }
    setDefaultButton(close);
    setEscapeButton(close);
    setAttribute(Qt::WA_DeleteOnClose);
}

QString RipSummaryBox::titleFor(const SessionReport& report)
{
    if (report.ending == SessionReport::Ending::Stopped)
        return tr("The rip was stopped");
    if (report.failed() > 0)
        return report.done > 0 ? tr("The rip is finished, but some tracks failed") : tr("No track could be ripped");
    if (!report.allDone())
        return tr("The rip is finished, some tracks skipped");
    return tr("The rip is finished");
}

QString RipSummaryBox::textFor(const SessionReport& report)
{
    const auto tracks = [](int count) { return count == 1 ? tr("1 track") : tr("%1 tracks").arg(count); };
    QString text;
    if (report.done == 0)
        text = tr("No file was made.");
    else if (report.allDone())
        text = report.total == 1 ? tr("The track is in %1.").arg(report.albumFolder)
                                 : tr("All %1 tracks are in %2.").arg(report.total).arg(report.albumFolder);
    else
        text = tr("%1 of %2 are in %3.").arg(report.done).arg(tracks(report.total), report.albumFolder);
    QStringList missing;
    if (report.failed() > 0)
        missing << tr("%1 failed").arg(tracks(report.failed()));
    if (report.skipped > 0)
        missing << tr("%1 skipped").arg(tracks(report.skipped));
    if (report.stopped > 0)
        missing << tr("%1 not ripped because the rip was stopped").arg(tracks(report.stopped));
    if (!missing.isEmpty())
        text += QLatin1Char(' ') + missing.join(QStringLiteral(", ")) + QLatin1Char('.');
    if (!report.notReadExactly.isEmpty()) {
        QStringList tracks;
        for (const int position : report.notReadExactly)
            tracks << QString::number(position);
        text += QLatin1Char(' ') + tr("Not read exactly, so they may hold errors: track %1 (the rip log in the "
                                      "album folder says what the reader met).")
                                       .arg(tracks.join(QStringLiteral(", ")));
    }
    if (!report.accurateRipSummary.isEmpty())
        text += QStringLiteral("\n\n") + tr("AccurateRip: %1").arg(report.accurateRipSummary);
    if (report.failed() == 1) {
        const SessionReport::Failure& failure = report.failures.first();
        text += QStringLiteral("\n\n") +
                tr("Track %1, %2, failed: %3").arg(failure.position).arg(failure.title, failure.reason);
    } else if (report.failed() > 1) {
        text += QStringLiteral("\n\n") + tr("The details say why each one failed.");
    }
    return text;
}

QString RipSummaryBox::detailsFor(const SessionReport& report)
{
    QStringList lines;
    for (const SessionReport::Failure& failure : report.failures)
        lines << tr("Track %1, %2 (%3): %4").arg(failure.position).arg(failure.title, failure.fileName, failure.reason);
    if (!report.accurateRip.isEmpty() && !lines.isEmpty())
        lines << QString();
    lines << report.accurateRip;
    return lines.join(QLatin1Char('\n'));
}
