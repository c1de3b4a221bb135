#pragma once

#include "common/alertpresenter.h"
#include "disc/audiocdfinder.h"
#include "settings/preferences.h"
#include "settings/settings.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class ExpertFieldBinding;
class LogWindow;
struct SessionReport;
class MainWindow;
class QAbstractButton;
class QButtonGroup;
class QMessageBox;

// The main window's controller: binds every control to the settings both ways (so each accessor
// reads what the user sees at that moment), applies the preferences when the window is made and
// saves them when the application ends, chooses source and output, shows alerts and the help.
// Closing the window while a rip runs asks first.
class AppController : public QObject, public AlertPresenter {
    Q_OBJECT
public:
    // Loads the preferences file (or the defaults) into the settings and the window.
    explicit AppController(Settings& settings, QObject* parent = nullptr);
    ~AppController() override;

    Settings& settings() { return m_settings; }
    MainWindow& window() { return *m_window; }
    // Shows the window, then once what the user must know before a rip: preferences that could
    // not be read, an encoder that is not installed.
    void show();

    // The Start, Stop and Skip buttons, and what the window shows of a rip's progress.
    QAbstractButton* startButton() const;
    QAbstractButton* stopButton() const;
    QAbstractButton* skipButton() const;
    void setButtonStates(bool start, bool stop, bool skip);
    // The fields a running rip locks, and the rip's status and time-remaining lines.
    void setRipFieldsEnabled(bool expertField, bool nameStyleField);
    void showStatusLine(const QString& line);
    void showTimeRemaining(const QString& line);
    // Where the source dialogs look for a mounted CD.
    AudioCDFinder& cdFinder() { return m_cdFinder; }
    // How many of the rip's total tracks are done: encoded, failed or skipped.
    void showTracksFinished(int finished, int total);
    // The rip ended; failedTracks names the tracks the encoder could not make.
    // summary, when some tracks were not ripped, says how many and why.
    void showSessionEnded(const QStringList& failedTracks, const QString& summary = QString());
    // The rip made the folder its album goes into.
    void showAlbumFolder(const QString& folder);
    // The whole rip's time remaining, beside the track's.
    void showRipTimeRemaining(const QString& time);
    // The one message at the end of a rip (the box is named "ripSummary").
    void showRipSummary(const SessionReport& report);
    // The album's front cover beside the album fields; hidden for an empty image.
    void showCoverArt(const QByteArray& image);
    // A log line the user should see: shown in the status line for a while.
    void showNotice(const QString& line);
    // Every log line comes here, on the main thread: the log window shows it, a notice also
    // goes to the status line.
    void logged(const QString& line, bool notice);

    // How the shell reaches the rip session when the application ends.
    void setRipSessionHooks(std::function<bool()> isRunning, std::function<void()> stop);

    // Preferences file (the path is the user's own unless a test points elsewhere).
    void setPreferencesPath(const QString& path) { m_preferencesPath = path; }
    bool loadPreferences();
    // False when nothing was written, also when a damaged file read at the start could not be
    // kept aside: then its bytes are worth more than this run's settings.
    bool savePreferences();

    // The ordered end: a running rip is stopped (release files are still written), then the
    // preferences are saved. Quitting and closing the window both come here; while a rip runs,
    // the user is asked first (the question box is named "quitWhileRipping").
    void applicationShouldTerminate();
    // A signal (a logout, Ctrl+C in the terminal) ends the application without asking.
    void quitWithoutAsking();

    // Commands.
    void selectAudioCD();
    void selectTracks();
    void selectOutputDirectory();
    // Opens the bundled help page; false when the resources lack it.
    bool showHelp();
    void showAbout();
    void showLog();

    // AlertPresenter: a window-modal message with one OK button, text shown literally.
    void runAlertWithTitle(const QString& title, const QString& text) override;

private:
    void bindTextFields();
    void bindCheckBoxes();
    void bindPresets();
    void bindExpertField();
    void bindCommands();
    void showFasterPresetsApplies();
    QString sourceDialogStart() const;
    void showOutputFolderNote();
    bool mayCloseWindow();
    void askToStopAndQuit();

    Settings& m_settings;
    AudioCDFinder m_cdFinder;
    std::unique_ptr<MainWindow> m_window;
    QButtonGroup* m_basicConfigMatrix = nullptr;
    ExpertFieldBinding* m_expertField = nullptr;
    QString m_preferencesPath;
    PreferencesLoad m_preferencesLoad;
    QList<std::pair<QString, QString>> m_startUpAlerts;
    bool m_shown = false;
    // The running rip's album folder and the output folder it was made in; after the rip, the
    // last album's folder until the output folder changes.
    QString m_albumFolder;
    QString m_albumOutput;
    QString m_lastAlbumFolder;
    QPointer<QMessageBox> m_quitQuestion;
    LogWindow* m_logWindow = nullptr;
    bool m_quitConfirmed = false;
    std::function<bool()> m_isRipRunning;
    std::function<void()> m_stopRip;
    bool m_terminated = false;
};
