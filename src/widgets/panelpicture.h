#pragma once

#include <QWidget>

// The quiet pictures of the lesson panel's scroll column, drawn with QPainter: the thumb's
// track (Image32) and the two decorations shown instead of the scroll controls when the
// lesson fits (EnFaImage at the top, EnUnderImage at the bottom). Mouse presses on them do
// nothing.
class PanelPicture : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Track, EnFa, EnUnder };
    PanelPicture(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    Kind m_kind;
};
