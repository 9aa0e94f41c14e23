#include "lessonloader.h"

#include "audio/voiceplayer.h"
#include "content/audiochoice.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "files/filebytes.h"

namespace {

// List positions and lesson numbers are 16-bit: lesson number = position + 1 <= 32767.
constexpr int maxListIndex = 32766;

struct LessonText {
    LessonNote problem = LessonNote::None;
    QString text;
};

LessonText readLessonText(const QString &path) {
    const FileBytes file = readFileBytes(path, LessonLoader::maxLessonFileBytes);
    if (file.missing)
        return {LessonNote::MissingFile, {}};
    if (!file.error.isEmpty())
        return {LessonNote::UnreadableFile, {}};
    // The text buffer takes a plain GBK file or an RTF document alike.
    return {LessonNote::None, plainTextFromFileBytes(file.bytes)};
}

bool showsWholeText(int studyMode) {
    return studyMode == 2 || studyMode == 3 || studyMode == 4;
}

} // namespace

void LoaderHooks::defaultNextSentence(TrainerState &state) {
    state.currentSentence += 1;
    if (state.currentSentence == state.sentenceCount) {
        state.Command1.enabled = false;
        state.Command14.enabled = false;
        state.AR3.enabled = false;
    }
    state.Command2.enabled = true;
    state.Command13.enabled = true;
    state.AR2.enabled = true;
}

void LoaderHooks::defaultCc(TrainerState &state) {
    paintRowLines(state.rows, state.rowTemplate, true, RowCursor::PointingHand, true,
                  RowCursor::Default);
    for (SentenceRow &row : state.rows) {
        row.Image2.visible = false;
        row.Label17.visible = false;
        row.Label18.visible = false;
        row.Label12.visible = true;
    }
}

LessonLoader::LessonLoader(TrainerState &state, VoicePlayer &player, const TextMeasurer &measurer,
                           QObject *parent)
    : QObject(parent), m_state(state), m_player(player), m_measurer(measurer) {}

QString LessonLoader::missingAudioMessage() {
    return QStringLiteral("本课没有安装语音文件，课文照常显示，但不能播放。");
}

LoadResult LessonLoader::loadlesson(const LessonSelection &selection) {
    TrainerState &s = m_state;
    const bool orvessa = s.program == Program::Orvessa;
    LoadResult result;

    const bool selected = selection.listIndex >= 0 && selection.listIndex <= maxListIndex;
    // Titles become folder names: one that could leave the content folders reads nothing.
    const bool fromDisk = selected && isSafeBookTitle(selection.bookTitle);
    const int lessonNumber = selection.listIndex + 1;

    // 1. The lesson's place and name.
    s.lessonIndex = selected ? selection.listIndex : -1;
    s.Label7_20.text = selection.lessonName;
    s.Label7_20.width = m_measurer.widthTwips(s.Label7_20.text, LineFont::Label);

    // 2-3. Reset the player, choose the audio and open it. Nothing plays.
    if (m_hooks.stopSentenceTimers)
        m_hooks.stopSentenceTimers();
    m_player.bookTitle = selection.bookTitle;
    m_player.VoiceSet();
    bool opened = false;
    if (fromDisk) {
        // Chosen by relative path, then each file looked up where the learner's own copy
        // may stand before the shipped one.
        const std::optional<AudioChoice> choice =
            chooseLessonAudio(s.program, ContentFile::soundDir(selection.bookTitle),
                              selection.bookTitle, lessonNumber);
        if (choice) {
            if (!choice->path.isEmpty())
                m_player.voiceFile = selection.places.readPath(choice->path);
            result.audioMissing =
                !choice->mustExist.isEmpty() &&
                fileKind(selection.places.readPath(choice->mustExist)) != FileKind::Regular;
        }
        // Beyond a group table nothing is chosen and the previous file is opened again.
        if (!m_player.voiceFile.isEmpty()) {
            m_player.VoiceOpen();
            opened = true;
        }
    }
    if (!opened)
        m_player.VoicePause();

    // 4. The lesson text, whole.
    LessonText lesson;
    if (fromDisk)
        lesson = readLessonText(
            selection.places.readPath(ContentFile::lessonText(selection.bookTitle, lessonNumber)));
    else
        lesson.problem = LessonNote::MissingFile;

    // 5. The sentence table, rebuilt from nothing.
    s.sentences = SentenceTable::fromText(lesson.text);
    lesson.text.clear();
    s.sentenceCount = s.sentences.count();
    s.note = lesson.problem;
    if (s.note == LessonNote::None && s.sentenceCount == 0)
        s.note = LessonNote::EmptyLesson;
    // The message promises that the text shows all the same; without a text file the
    // panel's note says enough.
    if (lesson.problem != LessonNote::None)
        result.audioMissing = false;
    if (orvessa) {
        s.Label34.text = QString::number(s.sentenceCount);
        s.Label37.text = selection.lessonName;
        s.Label37.width = m_measurer.widthTwips(s.Label37.text, LineFont::Label);
    }

    // 6. Before the first sentence, then onto sentence 1 (an empty lesson stays at 0).
    s.currentSentence = 0;
    if (s.sentenceCount > 0 && m_hooks.nextSentence) {
        m_hooks.nextSentence(s);
    } else if (s.sentenceCount == 0) {
        // Nothing of the previous lesson's sentence stays to be shown, hinted or scored.
        StudyViewState &v = s.view;
        v.Label1.text.clear();
        v.Label51.text.clear();
        v.Label2.text.clear();
        v.sentenceToolTip.clear();
        m_player.voiceStart = m_player.voiceEnd = 0;
        s.dictation = DictationCounters{};
    }

    // 7-8. Dictation counters and the progress line "0 / N" with its knob left of the track.
    s.passedCount = 0;
    s.passFraction = 0;
    if (orvessa) {
        placeProgressLine(s, m_measurer);
        placeProgressKnob(s);
    }

    // 9. No previous sentence yet; a next one only if the lesson has more than one sentence
    // (next on the only sentence would leave the table).
    setSentenceButtons(s);

    // 10-11. The rows of the previous lesson go; rows 1..N are built in one pass.
    const int canvasHeight = layoutRowsInto(s.rows, s.sentences, s.rowTemplate, m_measurer);

    // 12. Canvas at its top. A lesson without rows keeps the canvas as tall as the viewport,
    // so it shows no scroll controls.
    LessonPanelState &panel = s.panel;
    const LessonPanelGeometry &geometry = s.panelGeometry;
    panel.note = lessonNoteText(s.note);
    panel.canvasHeight = s.rows.empty() ? geometry.viewportHeight : canvasHeight;
    panel.canvasTop = 0;
    panel.thumbTop = geometry.thumbTopMost;
    if (orvessa) {
        panel.scrollControlsVisible = panel.canvasHeight > geometry.viewportHeight;
        panel.VScroll1 = ScrollBarState{};
    } else {
        panel.scrollControlsVisible = false;
        panel.VScroll1 = scrollBarFor(panel.canvasHeight, geometry);
    }

    // 13. The study mode lays the new rows out.
    if (m_hooks.cc)
        m_hooks.cc(s);

    // 14. The whole-text modes scroll with Combo4's arrow keys.
    if (showsWholeText(s.studyMode) && m_hooks.focusCombo4)
        m_hooks.focusCombo4();

    result.note = s.note;
    Q_EMIT lessonLoaded();

    if (result.audioMissing && m_hooks.messageBox)
        m_hooks.messageBox(missingAudioMessage());
    return result;
}
