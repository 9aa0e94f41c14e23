#include "study/trainerstate.h"

#include <algorithm>
#include <cmath>

QString lessonNoteText(LessonNote note) {
    switch (note) {
    case LessonNote::None:
        break;
    case LessonNote::MissingFile:
        return QStringLiteral("找不到本课的课文文件。");
    case LessonNote::UnreadableFile:
        return QStringLiteral("本课的课文文件无法读取。");
    case LessonNote::EmptyLesson:
        return QStringLiteral("本课还没有句子。");
    }
    return QString();
}

TrainerState TrainerState::forProgram(Program program) {
    TrainerState state;
    state.program = program;
    state.rowTemplate = RowTemplate::forProgram(program);
    state.view = StudyViewState::forProgram(program);
    // Before the first load the canvas is as tall as the viewport.
    state.panel.canvasHeight = state.panelGeometry.viewportHeight;
    state.panel.thumbTop = state.panelGeometry.thumbTopMost;
    state.Label7_36.text = QStringLiteral("/");
    return state;
}

void placeProgressLine(TrainerState &state, const TextMeasurer &measurer) {
    const DictationGeometry &g = state.dictationGeometry;
    const auto size = [&measurer](LabelState &label) {
        label.width = measurer.widthTwips(label.text, LineFont::Label);
    };
    state.Label33.text = QString::number(state.passedCount);
    state.Label33.left = g.Label33Left;
    size(state.Label33);
    state.Label7_36.text = QStringLiteral("/");
    state.Label7_36.left = state.Label33.right() + g.progressGap;
    size(state.Label7_36);
    state.Label34.text = QString::number(state.sentenceCount);
    state.Label34.left = state.Label7_36.right() + g.progressGap;
    size(state.Label34);
}

void placeProgressKnob(TrainerState &state) {
    state.passFraction =
        state.sentenceCount > 0 ? double(state.passedCount) / state.sentenceCount : 0.0;
    const DictationGeometry &g = state.dictationGeometry;
    state.Picture10Left = int(std::lround(g.Picture9Width * state.passFraction)) - g.Picture10Width;
}

void setSentenceButtons(TrainerState &state) {
    const bool hasPrevious = state.currentSentence > 1;
    const bool hasNext = state.currentSentence < state.sentenceCount;
    state.Command2.enabled = state.Command13.enabled = state.AR2.enabled = hasPrevious;
    state.Command1.enabled = state.Command14.enabled = state.AR3.enabled = hasNext;
}

ReadingCaptions readingCaptions(Program program) {
    if (program == Program::Mini)
        return {QStringLiteral(" 全文朗读(&R)"), QStringLiteral(" 停止朗读(&S)"),
                QStringLiteral(" 暂停朗读(&P)"), QStringLiteral(" 继续朗读(&A)")};
    return {QStringLiteral("全文朗读"), QStringLiteral("停止朗读"), QStringLiteral("暂停朗读"),
            QStringLiteral("继续朗读")};
}

void scrollPanelToTop(TrainerState &state) {
    state.panel.canvasTop = 0;
    state.panel.thumbTop = state.panelGeometry.thumbTopMost;
    state.panel.VScroll1.value = 0;
}
