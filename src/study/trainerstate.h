#pragma once

// The window-level state of the trainer, as plain values named after the controls that
// show it. The lesson loader writes it; the window shows it; the study code reads and
// changes it. Positions are twips.

#include "content/programprofile.h"
#include "content/rowlayout.h"
#include "content/sentencetable.h"
#include "study/followreadstate.h"
#include "study/playbackstate.h"
#include "study/pure/dictationscore.h"
#include "study/pure/lessonpanelstate.h"
#include "study/studyviewstate.h"

#include <QString>
#include <vector>

struct ControlState {
    bool enabled = true;
    bool visible = true;
};

// An auto-sized label: its width follows its text.
struct LabelState {
    QString text;
    int left = 0;
    int width = 0;
    int right() const { return left + width; }
};

// Design places of the dictation panel that the loader lays out against. The window may
// change them before the first load; the loader only reads them.
struct DictationGeometry {
    int Label33Left = 6210;   // the passed count of "进度：0 / N"
    int progressGap = 40;     // between the three labels of the progress line
    int Picture9Width = 2655; // progress track
    int Picture10Width = 180; // progress knob
};

// Why the lesson panel shows no rows.
enum class LessonNote { None, MissingFile, UnreadableFile, EmptyLesson };
QString lessonNoteText(LessonNote note);

struct TrainerState {
    Program program = Program::Orvessa;
    int studyMode = 1; // set by the function menu; a load never changes it

    // The lesson. lessonIndex is List1's position (-1 before any load); the lesson number is
    // lessonIndex + 1. voiceFile lives in the VoicePlayer.
    int lessonIndex = -1;
    int sentenceCount = 0;
    int currentSentence = 0; // 1-based; 0 only while there is no sentence
    int passedCount = 0;
    double passFraction = 0;     // passedCount / sentenceCount, 0 for an empty lesson
    DictationCounters dictation; // the current sentence's hints, errors, replays and points
    SentenceTable sentences;

    RowTemplate rowTemplate;       // row 0
    std::vector<SentenceRow> rows; // rows[i - 1] is row i
    SentenceRow &row(int i) { return rows.at(size_t(i - 1)); }
    const SentenceRow &row(int i) const { return rows.at(size_t(i - 1)); }

    LessonNote note = LessonNote::None;
    LessonPanelState panel; // canvas top and height, thumb, scroll controls, VScroll1
    LessonPanelGeometry panelGeometry;

    LabelState Label7_20;  // lesson name
    LabelState Label37;    // lesson title line (orvessa)
    LabelState Label33;    // passed count of the progress line (orvessa)
    LabelState Label7_36;  // the "/" of the progress line (orvessa)
    LabelState Label34;    // total of the progress line (orvessa)
    int Picture10Left = 0; // progress knob, from the track's left edge (orvessa)
    DictationGeometry dictationGeometry;

    ControlState Command1;  // 下一句
    ControlState Command2;  // 上一句
    ControlState Command13; // 上一句 of the follow-read panel
    ControlState Command14; // 下一句 of the follow-read panel
    ControlState AR2;       // mini's menu 上一句
    ControlState AR3;       // mini's menu 下一句

    PlaybackState playback;     // repeat, full-text reading, speed
    FollowReadState followRead; // the follow-read page's own buttons and notice
    StudyViewState view;        // the study area's controls

    static TrainerState forProgram(Program program);
};

// Lays out "进度：" passedCount "/" total after passedCount or sentenceCount changed:
// Label33 shows passedCount, the "/" starts progressGap right of Label33, the total
// progressGap right of the "/". Widths come from the measurer's label font.
void placeProgressLine(TrainerState &state, const TextMeasurer &measurer);
// passFraction from the counters (0 when there is no sentence) and the knob from it:
// left = track width * passFraction - knob width.
void placeProgressKnob(TrainerState &state);
// Previous buttons enabled after sentence 1, next buttons before the last sentence
// (Command1/Command14/AR3 and Command2/Command13/AR2 together).
void setSentenceButtons(TrainerState &state);

// The captions of the reading button (Command6) and the pause button (Command7). The
// captions are the reading state; handlers compare them as strings.
struct ReadingCaptions {
    QString start;  // reading off: the button starts it
    QString stop;   // reading on: the button stops it
    QString pause;  // playing: the button pauses
    QString resume; // paused: the button resumes
};
ReadingCaptions readingCaptions(Program program);
// The lesson panel at its top: canvas top 0, thumb at the top of its track, scroll bar
// value 0.
void scrollPanelToTop(TrainerState &state);
