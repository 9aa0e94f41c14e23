#pragma once

#include <QWidget>

// Combo4: the invisible box that takes the keyboard focus after most actions, so that the
// Up and Down keys scroll the lesson panel. It must stay "visible" to take the focus, so it
// is one transparent pixel instead of a hidden widget.
class KeyCapture : public QWidget {
    Q_OBJECT
public:
    explicit KeyCapture(QWidget *parent = nullptr);

Q_SIGNALS:
    // A key went down while the box had the focus (Qt::Key values).
    void keyPressed(int key);

protected:
    void keyPressEvent(class QKeyEvent *event) override;
};
