#pragma once

#include <QObject>

class ExpertComboBox;
class Settings;

// Keeps the expert combo box and the settings' remembered expert lines in step, and looks after
// what only the drop-down needs: the blank line offered for starting a new one and how many rows
// it shows at a time. The lines, the selection and the typed text are the settings' values; the
// rows are the combo box's own.
class ExpertFieldBinding : public QObject {
    Q_OBJECT
public:
    ExpertFieldBinding(Settings& settings, ExpertComboBox& combo, QObject* parent = nullptr);

    // The drop-down is about to open: a blank last item is offered for starting a new line.
    void expertFieldPoppingUp();
    // Shows one row more, up to five, while the list holds at most four lines.
    void adjustExpertVisibleItems();
    // Lines were loaded from the preferences: five rows at most, else one more than the lines.
    void sizeForLoadedItems();

private:
    void syncField();
    void syncText();

    Settings& m_settings;
    ExpertComboBox& m_combo;
    bool m_syncing = false;
};
