#pragma once

#include <QAbstractButton>

// An arrow of the lesson panel's scroll column (Command32 up, Command33 down): a chevron
// drawn with QPainter, so it stays sharp at any scale. It never takes the keyboard focus;
// the window gives the focus to Combo4 after a click.
class ScrollArrowButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Direction { Up, Down };
    ScrollArrowButton(Direction direction, QWidget *parent = nullptr);

    Direction direction() const { return m_direction; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Direction m_direction;
    bool m_hover = false;
};
