#include "fulltextreader.h"

#include "audio/voiceplayer.h"
#include "study/pure/lessonpanelstate.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

#include <algorithm>

namespace {
constexpr int arrowStep = 500; // twips, as the arrows move the canvas
} // namespace

FullTextReader::FullTextReader(TrainerState &state, SentencePlayback &playback, QObject *parent)
    : QObject(parent), m_state(state), m_playback(playback) {
    connect(&m_playback, &SentencePlayback::repeatsFinished, this,
            &FullTextReader::continueReading);
}

void FullTextReader::onCommand6() {
    const ReadingCaptions captions = readingCaptions(m_state.program);
    PlaybackState &pb = m_state.playback;
    const bool orvessa = m_state.program == Program::Orvessa;
    pb.readingSentence = 0;
    if (pb.Command6Caption != captions.start) {
        m_playback.hideUnderlines();
        pb.Command6Caption = captions.start;
        if (orvessa)
            pb.Command7Enabled = false;
        m_playback.stopPlayback();
    } else {
        pb.Command6Caption = captions.stop;
        if (orvessa) {
            // Reading starts playing: a pause button left at "继续朗读" by an earlier run
            // would otherwise offer to resume what already plays.
            pb.Command7Caption = captions.pause;
            pb.Command7Enabled = true;
        }
        autoread();
    }
    scrollPanelToTop(m_state);
    notifyPanel();
    notifyControls();
    focusCombo4();
}

void FullTextReader::onCommand7() {
    const ReadingCaptions captions = readingCaptions(m_state.program);
    PlaybackState &pb = m_state.playback;
    if (pb.Command7Caption != captions.pause) {
        pb.Command7Caption = captions.pause;
        m_playback.resumePlayback();
    } else {
        pb.Command7Caption = captions.resume;
        m_playback.holdPlayback();
    }
    notifyControls();
    focusCombo4();
}

void FullTextReader::autoread() {
    PlaybackState &pb = m_state.playback;
    pb.repeatCount = 0;
    m_playback.hideUnderlines();
    const int last = std::min(m_state.sentenceCount, int(m_state.rows.size()));
    while (pb.readingSentence < last) {
        const int r = ++pb.readingSentence;
        if (!m_playback.hasTimes(r))
            continue;
        m_state.row(r).Line3.visible = true;
        m_playback.startSentence(r);
        keepInView(r);
        notifyPanel();
        return;
    }
    pb.Command6Caption = readingCaptions(m_state.program).start;
    pb.Command7Enabled = false;
    notifyPanel();
    notifyControls();
}

void FullTextReader::keepInView(int r) {
    if (r < 1 || r > int(m_state.rows.size()))
        return;
    const TwipRect &line = m_state.row(r).Label6.box;
    LessonPanelState &panel = m_state.panel;
    const LessonPanelGeometry &geometry = m_state.panelGeometry;
    const long long lineBottom = (long long)line.top + panel.canvasTop + line.height;
    if (lineBottom <= geometry.viewportHeight)
        return;
    const int half = geometry.viewportHeight / 2;
    if (m_state.program == Program::Mini) {
        ScrollBarState &bar = panel.VScroll1;
        bar.value = bar.maximum - bar.value < half ? bar.maximum : bar.value + half;
        panel.canvasTop = -bar.value;
        return;
    }
    const long long remaining =
        (long long)panel.canvasHeight - geometry.viewportHeight + panel.canvasTop;
    if (remaining >= half)
        panel.canvasTop -= half;
    else
        panel.canvasTop = geometry.viewportHeight - panel.canvasHeight;
    panel.canvasTop = std::min(panel.canvasTop, 0);
    placeThumb(panel, geometry);
}

void FullTextReader::onCommand32() {
    scrollUpStep(m_state.panel, m_state.panelGeometry, m_state.rows);
    notifyPanel();
    focusCombo4();
}

void FullTextReader::onCommand33() {
    scrollDownStep(m_state.panel, m_state.panelGeometry, m_state.rows);
    notifyPanel();
    focusCombo4();
}

bool FullTextReader::onCombo4Key(int keyCode) {
    const bool mini = m_state.program == Program::Mini;
    bool scrolled = false;
    if (keyCode == keyUp) {
        mini ? scrollBarStep(-arrowStep)
             : scrollUpStep(m_state.panel, m_state.panelGeometry, m_state.rows);
        scrolled = true;
    } else if (keyCode == keyDown) {
        mini ? scrollBarStep(arrowStep)
             : scrollDownStep(m_state.panel, m_state.panelGeometry, m_state.rows);
        scrolled = true;
    }
    if (!mini)
        placeThumb(m_state.panel, m_state.panelGeometry);
    notifyPanel();
    return scrolled;
}

// mini scrolls through its scroll bar: the canvas follows the bar's value.
void FullTextReader::scrollBarStep(int delta) {
    ScrollBarState &bar = m_state.panel.VScroll1;
    if (!bar.enabled)
        return;
    bar.value = std::clamp(bar.value + delta, bar.minimum, bar.maximum);
    m_state.panel.canvasTop = -bar.value;
}

void FullTextReader::continueReading() {
    if (m_state.program == Program::Orvessa && m_state.studyMode == 2 &&
        m_state.playback.Command6Caption == readingCaptions(m_state.program).stop)
        autoread();
}

void FullTextReader::notifyPanel() {
    if (m_playback.hooks().panelChanged)
        m_playback.hooks().panelChanged();
}

void FullTextReader::notifyControls() {
    if (m_playback.hooks().controlsChanged)
        m_playback.hooks().controlsChanged();
}

void FullTextReader::focusCombo4() {
    if (m_playback.hooks().focusCombo4)
        m_playback.hooks().focusCombo4();
}
