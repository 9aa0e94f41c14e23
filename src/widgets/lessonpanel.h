#pragma once

#include "content/programprofile.h"
#include "content/rowlayout.h"
#include "study/pure/lessonpanelstate.h"

#include <QWidget>
#include <vector>

class FontMeasurer;
class PanelPicture;
class QScrollBar;
class ScrollArrowButton;
class ScrollThumb;
class SentenceCanvas;

// The lesson panel (the viewport Picture5): its canvas (SentenceCanvas) and, in the strip
// right of the canvas, the scroll column. orvessa shows the arrows Command32/Command33, the track
// Image32 and the thumb Image33 when the canvas is taller than the viewport, and the
// decorations EnFaImage/EnUnderImage otherwise; mini has the scroll bar VScroll1 instead.
//
// The panel is a view over state the window owns: it reads the bound LessonPanelState and
// rows on refresh(), and when the learner scrolls it (arrows, wheel, thumb, scroll bar) it
// writes canvasTop, thumbTop and VScroll1.value back into that state and emits scrolled().
class LessonPanel : public QWidget {
    Q_OBJECT
public:
    explicit LessonPanel(Program program, QWidget *parent = nullptr);
    ~LessonPanel() override;

    // Both must outlive the panel, or be unbound with bind(nullptr, nullptr).
    void bind(LessonPanelState *state, const std::vector<SentenceRow> *rows);
    // Re-reads the bound state and rows: after every load, and after any change of them.
    void refresh();
    // Re-reads only the scroll values (canvasTop, thumb, VScroll1, scroll controls, note):
    // after code outside the panel scrolled it, such as full-text reading.
    void applyScroll();
    void setMeasurer(const FontMeasurer *measurer);
    void setScale(double scale);

    SentenceCanvas *canvas() const { return m_canvas; }
    const LessonPanelGeometry &geometry() const { return m_geometry; }

    // The steps of the arrows, about 500 twips to where a row starts; Combo4's Up and Down
    // keys use them too.
    void scrollUp();
    void scrollDown();

Q_SIGNALS:
    void scrolled();
    // An arrow was clicked: the keyboard focus belongs to Combo4 now.
    void focusToCombo4Requested();

protected:
    // The wheel over the scroll column scrolls like the wheel over the canvas.
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::span<const SentenceRow> shownRows() const;
    void placeChildren();
    void wheelScroll(int steps);
    void thumbDragged(double pixels);
    void scrollBarMoved(int value);
    QRect pixelRect(int left, int top, int width, int height) const;

    Program m_program;
    LessonPanelGeometry m_geometry;
    LessonPanelState *m_state = nullptr;
    const std::vector<SentenceRow> *m_rows = nullptr;
    double m_scale = 1.0;
    int m_thumbTopAtPress = 0;
    int m_wheelRemainder = 0;

    SentenceCanvas *m_canvas = nullptr;
    ScrollArrowButton *m_up = nullptr;
    ScrollArrowButton *m_down = nullptr;
    PanelPicture *m_track = nullptr;
    ScrollThumb *m_thumb = nullptr;
    PanelPicture *m_enFa = nullptr;
    PanelPicture *m_enUnder = nullptr;
    QScrollBar *m_scrollBar = nullptr;
};
