#pragma once

#include "desktop/accessiblecontrol.h"

#include <QWidget>

// A clickable caption ("迷你模式", "更多软件", "点此试听"): on a left press it moves
// pressedOffset twips right and down; on the release it moves back, then reports
// released(). It keeps no other state. Assistive technology sees a push button named by
// the caption whose press reports released().
class TextButton : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    TextButton(const QString &caption, QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    bool isPressed() const { return m_pressed; }

    static constexpr int pressedOffset = 15; // twips, one pixel of the 96-dpi design

    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int part) override;

Q_SIGNALS:
    void released();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    QSize sizeHint() const override;

private:
    QString m_caption;
    bool m_pressed = false;
    bool m_hover = false;
};
