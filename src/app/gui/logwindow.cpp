#include "app/gui/logwindow.h"

#include "common/log.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogWindow::LogWindow(QWidget* parent) : QDialog(parent), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("logWindow"));
    setWindowTitle(tr("Vesk log"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setMaximumBlockCount(5000);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    resize(720, 420);
}

void LogWindow::showEvent(QShowEvent* event)
{
    // Filled when shown: the lines logged while it was closed are there too.
    m_text->setPlainText(veskLogLines().join(QLatin1Char('\n')));
    m_text->moveCursor(QTextCursor::End);
    QDialog::showEvent(event);
}

void LogWindow::appendLine(const QString& line)
{
    if (isVisible())
        m_text->appendPlainText(line);
}

QString LogWindow::text() const
{
    return m_text->toPlainText();
}
