#pragma once

#include <QWidget>

// The main window's drop target: accepts dragged files (as a link when the source allows it,
// else as a copy) and logs the dropped paths. A drop changes no setting.
class dragDestView : public QWidget {
    Q_OBJECT
public:
    explicit dragDestView(QWidget* parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
