#include "lessonpanel.h"

#include "panelpicture.h"
#include "scrollarrowbutton.h"
#include "scrollthumb.h"
#include "sentencecanvas.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
constexpr double twipsPerPixel = 15.0;
constexpr int scrollBarStep = 500;
} // namespace

LessonPanel::LessonPanel(Program program, QWidget *parent) : QWidget(parent), m_program(program) {
    setObjectName(QStringLiteral("Picture5"));
    m_canvas = new SentenceCanvas(this);
    connect(m_canvas, &SentenceCanvas::wheelSteps, this, &LessonPanel::wheelScroll);

    if (m_program == Program::Mini) {
        m_scrollBar = new QScrollBar(Qt::Vertical, this);
        m_scrollBar->setObjectName(QStringLiteral("VScroll1"));
        // Focus passes on to the key-capture box; the bar itself never keeps it.
        m_scrollBar->setFocusPolicy(Qt::NoFocus);
        m_scrollBar->setSingleStep(scrollBarStep);
        m_scrollBar->setPageStep(m_geometry.viewportHeight / 2);
        connect(m_scrollBar, &QScrollBar::valueChanged, this, &LessonPanel::scrollBarMoved);
    } else {
        m_track = new PanelPicture(PanelPicture::Kind::Track, this);
        m_up = new ScrollArrowButton(ScrollArrowButton::Direction::Up, this);
        m_down = new ScrollArrowButton(ScrollArrowButton::Direction::Down, this);
        m_thumb = new ScrollThumb(this);
        m_enFa = new PanelPicture(PanelPicture::Kind::EnFa, this);
        m_enUnder = new PanelPicture(PanelPicture::Kind::EnUnder, this);
        connect(m_up, &QAbstractButton::clicked, this, [this] {
            scrollUp();
            Q_EMIT focusToCombo4Requested();
        });
        connect(m_down, &QAbstractButton::clicked, this, [this] {
            scrollDown();
            Q_EMIT focusToCombo4Requested();
        });
        connect(m_thumb, &ScrollThumb::dragStarted, this, [this] {
            m_thumbTopAtPress = m_state ? m_state->thumbTop : m_geometry.thumbTopMost;
        });
        connect(m_thumb, &ScrollThumb::draggedBy, this, &LessonPanel::thumbDragged);
        for (QWidget *child : {static_cast<QWidget *>(m_track), static_cast<QWidget *>(m_up),
                               static_cast<QWidget *>(m_down), static_cast<QWidget *>(m_thumb),
                               static_cast<QWidget *>(m_enFa), static_cast<QWidget *>(m_enUnder)})
            child->installEventFilter(this);
    }
    setScale(1.0);
    refresh();
}

LessonPanel::~LessonPanel() = default;

void LessonPanel::bind(LessonPanelState *state, const std::vector<SentenceRow> *rows) {
    m_state = state;
    m_rows = rows;
    refresh();
}

void LessonPanel::setMeasurer(const FontMeasurer *measurer) {
    m_canvas->setMeasurer(measurer);
}

QRect LessonPanel::pixelRect(int left, int top, int width, int height) const {
    const auto p = [this](int twips) { return int(std::lround(twips / twipsPerPixel * m_scale)); };
    return QRect(p(left), p(top), p(left + width) - p(left), p(top + height) - p(top));
}

void LessonPanel::setScale(double scale) {
    m_scale = scale > 0 ? scale : 1.0;
    m_canvas->setScale(m_scale);
    setFixedSize(m_canvas->size());
    placeChildren();
}

void LessonPanel::placeChildren() {
    const LessonPanelGeometry &g = m_geometry;
    const int column = g.canvasWidth;
    const int columnWidth = g.columnWidth();
    m_canvas->move(0, 0);
    if (m_scrollBar) {
        m_scrollBar->setGeometry(pixelRect(column, 0, columnWidth, g.viewportHeight));
        return;
    }
    const int arrowsBottom = g.Command32Top + g.arrowHeight;
    m_up->setGeometry(pixelRect(column, g.Command32Top, columnWidth, g.arrowHeight));
    m_down->setGeometry(pixelRect(column, g.Command33Top, columnWidth, g.arrowHeight));
    m_track->setGeometry(
        pixelRect(column, arrowsBottom, columnWidth, g.Command33Top - arrowsBottom));
    const int thumbTop = m_state ? m_state->thumbTop : g.thumbTopMost;
    m_thumb->setGeometry(pixelRect(column, thumbTop, columnWidth, g.thumbHeight));
    const int half = g.viewportHeight / 2;
    m_enFa->setGeometry(pixelRect(column, 0, columnWidth, half));
    m_enUnder->setGeometry(pixelRect(column, half, columnWidth, g.viewportHeight - half));
}

void LessonPanel::refresh() {
    m_canvas->setRows(m_rows);
    applyScroll();
}

void LessonPanel::applyScroll() {
    LessonPanelState empty;
    empty.canvasHeight = m_geometry.viewportHeight;
    const LessonPanelState &state = m_state ? *m_state : empty;

    m_canvas->setCanvasHeight(state.canvasHeight);
    m_canvas->setCanvasTop(state.canvasTop);
    m_canvas->setNote(state.note);

    if (m_scrollBar) {
        const QSignalBlocker block(m_scrollBar);
        m_scrollBar->setRange(state.VScroll1.minimum,
                              std::max(state.VScroll1.minimum, state.VScroll1.maximum));
        m_scrollBar->setValue(state.VScroll1.value);
        m_scrollBar->setEnabled(state.VScroll1.enabled);
        return;
    }
    const bool scrolling = state.scrollControlsVisible;
    m_up->setVisible(scrolling);
    m_down->setVisible(scrolling);
    m_track->setVisible(scrolling);
    m_thumb->setVisible(scrolling);
    m_enFa->setVisible(!scrolling);
    m_enUnder->setVisible(!scrolling);
    placeChildren();
}

std::span<const SentenceRow> LessonPanel::shownRows() const {
    return m_rows ? std::span<const SentenceRow>(*m_rows) : std::span<const SentenceRow>();
}

void LessonPanel::scrollUp() {
    if (!m_state)
        return;
    scrollUpStep(*m_state, m_geometry, shownRows());
    applyScroll();
    Q_EMIT scrolled();
}

void LessonPanel::scrollDown() {
    if (!m_state)
        return;
    scrollDownStep(*m_state, m_geometry, shownRows());
    applyScroll();
    Q_EMIT scrolled();
}

void LessonPanel::wheelScroll(int steps) {
    if (!m_state || steps == 0)
        return;
    if (m_scrollBar) {
        if (m_scrollBar->isEnabled())
            m_scrollBar->setValue(m_scrollBar->value() + steps * scrollBarStep);
        return;
    }
    for (int i = 0; i < std::abs(steps); ++i) {
        if (steps > 0)
            scrollDownStep(*m_state, m_geometry, shownRows());
        else
            scrollUpStep(*m_state, m_geometry, shownRows());
    }
    applyScroll();
    Q_EMIT scrolled();
}

void LessonPanel::wheelEvent(QWheelEvent *event) {
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / 120;
    m_wheelRemainder -= notches * 120;
    wheelScroll(-notches);
    event->accept();
}

bool LessonPanel::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LessonPanel::thumbDragged(double pixels) {
    if (!m_state)
        return;
    const int wanted = m_thumbTopAtPress + int(std::lround(pixels / m_scale * twipsPerPixel));
    dragThumb(*m_state, m_geometry, wanted);
    applyScroll();
    Q_EMIT scrolled();
}

void LessonPanel::scrollBarMoved(int value) {
    if (!m_state)
        return;
    m_state->VScroll1.value = value;
    m_state->canvasTop = -value;
    m_canvas->setCanvasTop(m_state->canvasTop);
    Q_EMIT scrolled();
}
