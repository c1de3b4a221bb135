#include "app/gui/expertfieldbinding.h"

#include "app/gui/expertcombobox.h"
#include "settings/settings.h"

namespace {
// More rows than this and the drop-down stops growing by itself.
constexpr int maxGrownRows = 5;
} // namespace

ExpertFieldBinding::ExpertFieldBinding(Settings& settings, ExpertComboBox& combo, QObject* parent)
    : QObject(parent), m_settings(settings), m_combo(combo)
{
    // One row to start with: the drop-down grows as lines are offered and loaded.
    m_combo.setMaxVisibleItems(1);
    syncField();
    connect(&m_combo, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!m_syncing)
            m_settings.setText(Settings::Text::ExpertText, text);
    });
    connect(&m_combo, &QComboBox::activated, this, [this](int index) {
        if (!m_syncing)
            m_settings.selectExpertItem(index);
    });
    connect(&m_combo, &ExpertComboBox::poppingUp, this, &ExpertFieldBinding::expertFieldPoppingUp);
    connect(&m_combo, &ExpertComboBox::editingFinished, this,
            [this](const QString& text) { m_settings.expertFieldTextChanged(text); });
    connect(&m_settings, &Settings::expertListChanged, this, &ExpertFieldBinding::syncField);
    connect(&m_settings, &Settings::textChanged, this, [this](Settings::Text changed) {
        if (changed == Settings::Text::ExpertText)
            syncText();
    });
}

void ExpertFieldBinding::expertFieldPoppingUp()
{
    const QStringList items = m_settings.expertItems();
    if (!items.isEmpty() && items.last().isEmpty())
        return;
    m_settings.setExpertItems(items + QStringList{QString()});
    adjustExpertVisibleItems();
}

void ExpertFieldBinding::adjustExpertVisibleItems()
{
    if (m_settings.expertItems().size() >= maxGrownRows || m_combo.maxVisibleItems() >= maxGrownRows)
        return;
    m_combo.setMaxVisibleItems(m_combo.maxVisibleItems() + 1);
}

void ExpertFieldBinding::sizeForLoadedItems()
{
    const int count = int(m_settings.expertItems().size());
    m_combo.setMaxVisibleItems(count >= maxGrownRows ? maxGrownRows : count + 1);
}

void ExpertFieldBinding::syncField()
{
    if (m_syncing)
        return;
    m_syncing = true;
    const QStringList items = m_settings.expertItems();
    QStringList shown;
    for (int i = 0; i < m_combo.count(); ++i)
        shown.append(m_combo.itemText(i));
    if (shown != items) {
        m_combo.clear();
        m_combo.addItems(items);
    }
    if (m_combo.currentIndex() != m_settings.expertSelectedIndex())
        m_combo.setCurrentIndex(m_settings.expertSelectedIndex());
    const QString text = m_settings.text(Settings::Text::ExpertText);
    if (m_combo.currentText() != text)
        m_combo.setEditText(text);
    m_syncing = false;
}

void ExpertFieldBinding::syncText()
{
    // Only the text: the combo box may be in the middle of changing its selection, which the
    // settings learn from its activated signal.
    const QString text = m_settings.text(Settings::Text::ExpertText);
    if (m_syncing || m_combo.currentText() == text)
        return;
    m_syncing = true;
    m_combo.setEditText(text);
    m_syncing = false;
}
