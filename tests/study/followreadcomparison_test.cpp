#include "audio/fakevoicerecorder.h"
#include "playbackrig.h"
#include "study/followreadcomparison.h"
#include "study/studyview.h"

#include <gtest/gtest.h>

namespace {

const std::vector<Span> lesson{{0.5, 2.01}, {2.5, 4.1}, {4.5, 5.3}};
const QString noDevice = QStringLiteral("没有找到录音设备，无法录音。");
const QString noSound = QStringLiteral("没有录到声音，请再录一次。");
const QString notSaved = QStringLiteral("录音没能保存，请再录一次。");

// The follow-read page on sentence 1 of a three-sentence lesson, its moves run by the real
// single-sentence view.
struct FollowRig {
    FollowRig() {
        rig.state.studyMode = 5;
        rig.playback.applyModePair(5);
        view.ty();
        setSentenceButtons(rig.state);
        follow.hooks() = {[this] { view.previousSentence(); }, [this] { view.nextSentence(); },
                          [this] { view.firstSentence(); }};
        follow.prepare();
    }

    // 录音, 停止, 您的发音, 循环对比 as "1" (enabled) or "0".
    QString recordButtons() const {
        QString out;
        for (const FollowReadButton &b : follow.buttons())
            if (b.caption == QStringLiteral("录音") || b.caption == QStringLiteral("停止") ||
                b.caption == QStringLiteral("您的发音") || b.caption == QStringLiteral("循环对比"))
                out += b.enabled ? u'1' : u'0';
        return out;
    }
    qsizetype modelPlays() const { return rig.seeks().size(); }
    qsizetype recordingPlays() const { return recorder.calls.count(QStringLiteral("play")); }

    PlaybackRig rig{lesson};
    StudyView view{rig.state, rig.player, rig.sounds, rig.measurer, QStringLiteral("/prog")};
    FakeVoiceRecorder recorder;
    ManualTicker limit;
    FollowReadComparison follow{rig.state, rig.playback, recorder, &limit,
                                QStringLiteral("/data/Recorder.wav")};
};

TEST(FollowReadComparison, PageButtonsAtStart) {
    FollowRig f;
    QStringList shown;
    for (const FollowReadButton &b : f.follow.buttons())
        shown << b.caption + (b.enabled ? u'+' : u'-');
    EXPECT_EQ(shown.join(u' '),
              QStringLiteral("标准发音+ 录音+ 停止- 您的发音- 循环对比- 上一句- 下一句+ 首句+"));
    EXPECT_EQ(f.limit.interval(), 60000);
}

// --- The state table ------------------------------------------------------------------------

enum class Act {
    Record,
    RecordFails,
    Stop,
    StopEmpty,    // 停止 finds no sound in the take
    StopNotSaved, // 停止 cannot complete the take's file
    Loop,
    Listen, // 您的发音
    Previous,
    Next,
    First,
    SixtySeconds,
    LeavePage,
    LessonLoad,
    ShowSentence2, // the view shows sentence 2 by some other way (a key, the review list)
};

struct StateCase {
    const char *name;
    std::vector<Act> acts;
    const char *buttons; // 录音 停止 您的发音 循环对比
    int sentence;
    bool recording;
    QString notice;
};

class StateTable : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateTable, ButtonsAfterEachHandler) {
    const StateCase &c = GetParam();
    FollowRig f;
    for (Act act : c.acts) {
        switch (act) {
        case Act::Record:
            f.recorder.nextStart = VoiceRecorder::Start::Started;
            f.follow.onCommand8();
            break;
        case Act::RecordFails:
            f.recorder.nextStart = VoiceRecorder::Start::NoInputDevice;
            f.follow.onCommand8();
            break;
        case Act::Stop:
            f.follow.onCommand10();
            break;
        case Act::StopEmpty:
        case Act::StopNotSaved:
            f.recorder.nextTake =
                act == Act::StopEmpty ? VoiceRecorder::Take::Empty : VoiceRecorder::Take::NotSaved;
            f.follow.onCommand10();
            f.recorder.nextTake = VoiceRecorder::Take::Made;
            break;
        case Act::Listen:
            f.follow.onCommand12();
            break;
        case Act::LeavePage:
            f.rig.state.studyMode = 2;
            f.follow.leavePage();
            f.rig.state.studyMode = 5;
            break;
        case Act::LessonLoad:
            f.follow.lessonLoading();
            f.follow.sentenceShown(1);
            break;
        case Act::ShowSentence2:
            f.rig.state.currentSentence = 2;
            f.follow.sentenceShown(2);
            break;
        case Act::Loop:
            f.follow.onCommand9();
            break;
        case Act::Previous:
            f.follow.onCommand13();
            break;
        case Act::Next:
            f.follow.onCommand14();
            break;
        case Act::First:
            f.follow.onCommand15();
            break;
        case Act::SixtySeconds:
            f.limit.tick();
            break;
        }
        EXPECT_EQ(f.limit.isActive(), f.recorder.isRecording()) << "the limit runs with 录音";
    }
    EXPECT_EQ(f.recordButtons(), QString::fromLatin1(c.buttons));
    EXPECT_EQ(f.rig.state.currentSentence, c.sentence);
    EXPECT_EQ(f.recorder.isRecording(), c.recording);
    EXPECT_EQ(f.follow.buttonsState().notice, c.notice);
}

INSTANTIATE_TEST_SUITE_P(
    FollowReadComparison, StateTable,
    ::testing::Values(
        StateCase{"start", {}, "1000", 1, false, {}},
        StateCase{"recording", {Act::Record}, "1100", 1, true, {}},
        StateCase{"recorded", {Act::Record, Act::Stop}, "1011", 1, false, {}},
        StateCase{"looping", {Act::Record, Act::Stop, Act::Loop}, "1110", 1, false, {}},
        StateCase{"stopEndsTheLoop",
                  {Act::Record, Act::Stop, Act::Loop, Act::Stop},
                  "1011",
                  1,
                  false,
                  {}},
        StateCase{
            "recordAnewKeepsTheOthers", {Act::Record, Act::Stop, Act::Record}, "1111", 1, true, {}},
        StateCase{"nextForgetsTheRecording",
                  {Act::Record, Act::Stop, Act::Loop, Act::Next},
                  "1000",
                  2,
                  false,
                  {}},
        StateCase{"previousStopsARecording",
                  {Act::Next, Act::Record, Act::Previous},
                  "1000",
                  1,
                  false,
                  {}},
        // 首句 changes the shown sentence like any other move: the take belongs to the old one.
        StateCase{"firstEndsTheLoop",
                  {Act::Next, Act::Record, Act::Stop, Act::Loop, Act::First},
                  "1000",
                  1,
                  false,
                  {}},
        StateCase{
            "firstEndsARecording", {Act::Next, Act::Record, Act::First}, "1000", 1, false, {}},
        StateCase{"firstOnTheFirstSentenceKeepsTheLoop",
                  {Act::Record, Act::Stop, Act::Loop, Act::First},
                  "1110",
                  1,
                  false,
                  {}},
        StateCase{"previousOnTheFirstSentence",
                  {Act::Record, Act::Stop, Act::Previous},
                  "1011",
                  1,
                  false,
                  {}},
        StateCase{"cannotRecord", {Act::RecordFails}, "1000", 1, false, noDevice},
        StateCase{"cannotRecordAfterARecording",
                  {Act::Record, Act::Stop, Act::RecordFails},
                  "1000",
                  1,
                  false,
                  noDevice},
        StateCase{
            "recordingAgainClearsTheNotice", {Act::RecordFails, Act::Record}, "1100", 1, true, {}},
        StateCase{"sixtySecondsActAsStop", {Act::Record, Act::SixtySeconds}, "1011", 1, false, {}},
        StateCase{"emptyTakeIsNoRecording",
                  {Act::Record, Act::Stop, Act::Record, Act::StopEmpty},
                  "1000",
                  1,
                  false,
                  noSound},
        StateCase{"unsavedTakeIsNoRecording",
                  {Act::Record, Act::StopNotSaved},
                  "1000",
                  1,
                  false,
                  notSaved},
        StateCase{"listenWhileRecordingEndsIt",
                  {Act::Record, Act::Stop, Act::Record, Act::Listen},
                  "1011",
                  1,
                  false,
                  {}},
        StateCase{"loopWhileRecordingEndsIt",
                  {Act::Record, Act::Stop, Act::Record, Act::Loop},
                  "1110",
                  1,
                  false,
                  {}},
        StateCase{"loopWhileRecordingWithoutATake",
                  {Act::Record, Act::Stop, Act::Record, Act::StopEmpty, Act::Loop},
                  "1000",
                  1,
                  false,
                  noSound},
        StateCase{
            "leavingThePageEndsTheRecording", {Act::Record, Act::LeavePage}, "1011", 1, false, {}},
        StateCase{"leavingThePageEndsTheLoop",
                  {Act::Record, Act::Stop, Act::Loop, Act::LeavePage},
                  "1011",
                  1,
                  false,
                  {}},
        StateCase{"leavingThePageKeepsTheNotice",
                  {Act::Record, Act::StopEmpty, Act::LeavePage},
                  "1000",
                  1,
                  false,
                  noSound},
        StateCase{"lessonLoadEndsTheLoop",
                  {Act::Record, Act::Stop, Act::Loop, Act::LessonLoad},
                  "1000",
                  1,
                  false,
                  {}},
        StateCase{"lessonLoadEndsARecording", {Act::Record, Act::LessonLoad}, "1000", 1, false, {}},
        StateCase{"anotherSentenceShownEndsTheLoop",
                  {Act::Record, Act::Stop, Act::Loop, Act::ShowSentence2},
                  "1000",
                  2,
                  false,
                  {}},
        StateCase{"noLimitAfterStop",
                  {Act::Record, Act::Stop, Act::Loop, Act::SixtySeconds},
                  "1110",
                  1,
                  false,
                  {}}),
    [](const auto &info) { return std::string(info.param.name); });

// --- What each handler does to the two players ----------------------------------------------

enum class Step {
    Record,
    Stop,
    Model,       // 标准发音
    Listen,      // 您的发音
    Loop,        // 循环对比
    ModelEnds,   // the watch stops the model at its End
    OutputFails, // from now on the recording's output will not start
    SixtySeconds,
    LeavePage, // to 全文浏览
    Dictation, // to 听写测试, whose next sentence then plays
};

struct PlayerCase {
    const char *name;
    std::vector<Step> steps;
    bool modelPlaying;
    bool recordingPlaying;
    const char *buttons; // 录音 停止 您的发音 循环对比
    QString notice;
};

class Players : public ::testing::TestWithParam<PlayerCase> {};

TEST_P(Players, AfterEachHandler) {
    const PlayerCase &c = GetParam();
    FollowRig f;
    for (Step step : c.steps) {
        switch (step) {
        case Step::Record:
            f.follow.onCommand8();
            break;
        case Step::Stop:
            f.follow.onCommand10();
            break;
        case Step::Model:
            f.follow.onCommand11();
            break;
        case Step::Listen:
            f.follow.onCommand12();
            break;
        case Step::Loop:
            f.follow.onCommand9();
            break;
        case Step::ModelEnds:
            f.rig.runToSentenceEnd();
            break;
        case Step::OutputFails:
            f.recorder.nextPlay = VoiceRecorder::Play::OutputFailed;
            break;
        case Step::SixtySeconds:
            f.limit.tick();
            break;
        case Step::LeavePage:
            f.rig.state.studyMode = 2;
            f.follow.leavePage();
            break;
        case Step::Dictation:
            // As the window wires it: the move shows the sentence, then plays it.
            f.view.hooks().sentenceShown = [&f] {
                f.follow.sentenceShown(f.rig.state.currentSentence);
            };
            f.view.hooks().playCurrentSentence = [&f] { f.rig.playback.onCommand4(); };
            f.rig.state.studyMode = 8;
            f.follow.leavePage();
            f.view.nextSentence();
            break;
        }
    }
    EXPECT_EQ(f.rig.fake.isPlaying(), c.modelPlaying);
    EXPECT_EQ(f.recorder.isPlaying(), c.recordingPlaying);
    EXPECT_FALSE(f.recorder.isRecording());
    EXPECT_EQ(f.recordButtons(), QString::fromLatin1(c.buttons));
    EXPECT_EQ(f.follow.buttonsState().notice, c.notice);
}

const QString noOutput = QStringLiteral("放音设备无法打开，听不到您的录音。");

INSTANTIATE_TEST_SUITE_P(
    FollowReadComparison, Players,
    ::testing::Values(
        // The limit ends the recording and leaves the model the learner is listening to.
        PlayerCase{"limitLeavesTheModel",
                   {Step::Record, Step::Model, Step::SixtySeconds},
                   true,
                   false,
                   "1011",
                   {}},
        PlayerCase{"leavingLeavesTheNewPagesPlayer",
                   {Step::Record, Step::Model, Step::LeavePage},
                   true,
                   false,
                   "1011",
                   {}},
        PlayerCase{"leavingSilencesTheRecording",
                   {Step::Record, Step::Stop, Step::Listen, Step::LeavePage},
                   false,
                   false,
                   "1011",
                   {}},
        PlayerCase{"dictationPlaysOn",
                   {Step::Record, Step::Stop, Step::Loop, Step::Dictation},
                   true,
                   false,
                   "1000",
                   {}},
        PlayerCase{"listenWhileRecordingPlaysTheNewTake",
                   {Step::Record, Step::Stop, Step::Record, Step::Model, Step::Listen},
                   false,
                   true,
                   "1011",
                   {}},
        PlayerCase{"loopWhileRecordingStartsWithTheModel",
                   {Step::Record, Step::Stop, Step::Record, Step::Loop},
                   true,
                   false,
                   "1110",
                   {}},
        PlayerCase{"loopWhileRecordingGoesOnToTheNewTake",
                   {Step::Record, Step::Stop, Step::Record, Step::Loop, Step::ModelEnds},
                   false,
                   true,
                   "1110",
                   {}},
        PlayerCase{"listenWithoutOutputSaysSo",
                   {Step::Record, Step::Stop, Step::OutputFails, Step::Listen},
                   false,
                   false,
                   "1011",
                   noOutput},
        // The loop does not stall after the model: it ends and says why.
        PlayerCase{"loopWithoutOutputEnds",
                   {Step::Record, Step::Stop, Step::OutputFails, Step::Loop, Step::ModelEnds},
                   false,
                   false,
                   "1011",
                   noOutput}),
    [](const auto &info) { return std::string(info.param.name); });

// --- The loop -------------------------------------------------------------------------------

// Repeat count 1: model, recording, model, recording, ... each started by the other's end,
// until 停止, after which neither starts again.
TEST(FollowReadComparison, LoopAlternatesModelAndRecordingUntilStop) {
    FollowRig f;
    f.follow.onCommand8();
    f.follow.onCommand10();
    f.follow.onCommand9();
    EXPECT_EQ(f.recorder.calls.first(), QStringLiteral("record /data/Recorder.wav"));
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(f.modelPlays(), round);
        EXPECT_FALSE(f.recorder.isPlaying());
        f.rig.runToSentenceEnd();
        f.rig.run(200); // the repeat pause passes without another play
        EXPECT_EQ(f.modelPlays(), round);
        EXPECT_TRUE(f.recorder.isPlaying());
        EXPECT_EQ(f.recordingPlays(), round);
        ASSERT_TRUE(f.recorder.finishPlayback());
    }
    f.rig.runToSentenceEnd();
    f.follow.onCommand10();
    EXPECT_FALSE(f.recorder.isPlaying());
    EXPECT_FALSE(f.recorder.finishPlayback());
    f.rig.run(5000);
    EXPECT_EQ(f.modelPlays(), 4);
    EXPECT_EQ(f.recordingPlays(), 4);
    EXPECT_FALSE(f.rig.fake.isPlaying());
}

// Without the loop, or outside the follow-read page, the end of the model does not reach
// for the recording, and the end of a recording heard after the page was left does not
// start the model.
TEST(FollowReadComparison, LoopStepsOnlyWhileLoopingInFollowRead) {
    FollowRig f;
    f.follow.onCommand8();
    f.follow.onCommand10();
    f.follow.onCommand11();
    f.rig.runToSentenceEnd();
    f.rig.run(200);
    EXPECT_FALSE(f.recorder.isPlaying()) << "标准发音 alone plays the model only";

    f.follow.onCommand12();
    f.follow.onCommand9();
    EXPECT_FALSE(f.recorder.finishPlayback()) << "循环对比 stopped 您的发音";
    f.rig.state.studyMode = 1;
    f.rig.runToSentenceEnd();
    f.rig.run(200);
    EXPECT_FALSE(f.recorder.isPlaying());
    EXPECT_EQ(f.rig.mode5Ends, 1) << "the hook set before the page's still runs";

    f.follow.onCommand12();
    ASSERT_TRUE(f.recorder.finishPlayback());
    EXPECT_EQ(f.modelPlays(), 2);
}

struct MoveCase {
    const char *name;
    bool duringRecording; // the recording plays rather than the model
};

class MoveDuringLoop : public ::testing::TestWithParam<MoveCase> {};

// 下一句 ends the loop: both players fall silent, neither end restarts anything, and the
// recording made for sentence 1 cannot be compared with sentence 2.
TEST_P(MoveDuringLoop, NextSilencesBothPlayers) {
    FollowRig f;
    f.follow.onCommand8();
    f.follow.onCommand10();
    f.follow.onCommand9();
    f.rig.run(500);
    if (GetParam().duringRecording)
        f.rig.runToSentenceEnd();
    ASSERT_EQ(f.recorder.isPlaying(), GetParam().duringRecording);

    f.follow.onCommand14();
    EXPECT_EQ(f.rig.state.currentSentence, 2);
    EXPECT_EQ(f.recordButtons(), QStringLiteral("1000"));
    EXPECT_FALSE(f.recorder.isPlaying());
    EXPECT_FALSE(f.rig.fake.isPlaying());
    EXPECT_FALSE(f.rig.Timer1.isActive());
    EXPECT_FALSE(f.rig.Timer2.isActive());
    f.rig.run(5000);
    EXPECT_FALSE(f.recorder.finishPlayback());
    EXPECT_EQ(f.modelPlays(), 1);
    f.follow.onCommand12(); // disabled: plays nothing
    EXPECT_FALSE(f.recorder.isPlaying());
}

INSTANTIATE_TEST_SUITE_P(FollowReadComparison, MoveDuringLoop,
                         ::testing::Values(MoveCase{"modelPlaying", false},
                                           MoveCase{"recordingPlaying", true}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
