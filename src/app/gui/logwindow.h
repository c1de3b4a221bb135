#pragma once

#include <QDialog>

class QPlainTextEdit;

// The session's log, as "Show log" in the Help menu shows it: every line so far, and the new
// ones as they come. Named "logWindow".
class LogWindow : public QDialog {
    Q_OBJECT
public:
    explicit LogWindow(QWidget* parent = nullptr);

    void appendLine(const QString& line);
    QString text() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* m_text = nullptr;
};
