#pragma once

#include <QComboBox>

// The editable combo box holding the expert option line and the remembered lines. It tells when
// its drop-down is about to open and when editing of its line ended, so the list can be tidied.
class ExpertComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ExpertComboBox(QWidget* parent = nullptr);
    void showPopup() override;

Q_SIGNALS:
    void poppingUp();
    void editingFinished(const QString& text);
};
