#pragma once

#include <QWidget>

// The scroll thumb of the lesson panel (Image33). It only reports where the learner drags
// it; the panel decides where it may go and moves it.
class ScrollThumb : public QWidget {
    Q_OBJECT
public:
    explicit ScrollThumb(QWidget *parent = nullptr);

Q_SIGNALS:
    // The learner pressed the left button on the thumb.
    void dragStarted();
    // Vertical movement since dragStarted, in widget pixels.
    void draggedBy(double pixels);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    double m_pressY = 0;
    bool m_dragging = false;
    bool m_hover = false;
};
