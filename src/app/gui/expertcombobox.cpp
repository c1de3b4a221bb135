#include "app/gui/expertcombobox.h"

#include <QLineEdit>

ExpertComboBox::ExpertComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    // The list is kept by the settings; pressing Enter must not add lines of its own.
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::editingFinished, this,
            [this] { Q_EMIT editingFinished(lineEdit()->text()); });
}

void ExpertComboBox::showPopup()
{
    Q_EMIT poppingUp();
    QComboBox::showPopup();
}
