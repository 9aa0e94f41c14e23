// The strip as the learner leaves it running: on the real engine with the program's timers it
// plays sentence after sentence into the null sink by itself, and after the last sentence of
// the end lesson goes on with the start lesson.

#include "content/settingsfile.h"
#include "e2ehelpers.h"
#include "livewindow.h"
#include "mini/miniwindow.h"
#include "soundcapture.h"
#include "support/programdirfixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace programdir;

TEST(MiniE2E, PlaysOnByItselfAndWrapsToTheStartLesson) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    copyDemoContent(dir.path());
    const QStringList lessons = demoLessonNames(dir.path());
    ASSERT_GE(lessons.size(), 6);
    // The last lesson of a range from lesson 5 to lesson 6, once each, no pause.
    MiniSettings s;
    s.lessonIndex = 5;
    s.studyRepeats = QStringLiteral("1");
    s.studyPause = QStringLiteral("0");
    s.endLesson = lessons.at(5);
    s.HN = 4;
    s.bookTitle = demoBook;
    writeFile(dir.filePath(QStringLiteral("SETTING/mnset.dat")), gbk(miniSettingsRecord(s)));

    LiveWindow<MiniWindow> live(Program::Mini, dir.path());
    ASSERT_TRUE(live.window) << "the media player could not open the null sink";
    MiniWindow &window = *live.window;
    const QStringList &messages = live.messages;
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    window.startup();
    const TrainerState &state = window.core().state();
    ASSERT_EQ(window.lessonPosition(), 5);

    // Nobody touches it: the second sentence follows the first, and both are heard.
    ASSERT_TRUE(runUntil([&] { return state.currentSentence >= 2; }, 20000))
        << "the strip stayed on sentence " << state.currentSentence;
    EXPECT_GT(capture.soundSeconds(), 0.5);

    // The learner steps to the last sentence; when it has played the start lesson follows.
    while (state.Command1.enabled)
        window.core().view().nextSentence();
    ASSERT_TRUE(runUntil([&] { return window.lessonPosition() == 4; }, 20000))
        << "still at lesson position " << window.lessonPosition() << ", sentence "
        << state.currentSentence << " of " << state.sentenceCount;
    EXPECT_EQ(state.lessonIndex, 4);
    EXPECT_EQ(state.currentSentence, 1);
    const qsizetype wrapped = capture.mark();
    runFor(1500);
    EXPECT_GT(capture.soundSeconds(wrapped), 0.3) << "the start lesson is not heard";
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

} // namespace
