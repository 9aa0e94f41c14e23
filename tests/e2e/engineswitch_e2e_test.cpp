// The voice options page switching the real window's lesson player between the real engines
// on the null sink: the lesson stays where it stood, and sentence study then sounds through
// the engine chosen, ending where its sentence ends.

#include "audio/shortsound.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "e2ehelpers.h"
#include "shell/studyarea.h"
#include "shell/trainerwindow.h"
#include "soundcapture.h"
#include "support/programdirfixture.h"
#include "widgets/picturelabel.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>

namespace {

TEST(EngineSwitchE2E, ThePageHandsTheLessonToEachEngineAndBothSound) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    programdir::copyDemoContent(dir.path());
    std::unique_ptr<VoiceBackend> engine = createMpvBackend(true);
    ASSERT_TRUE(engine) << "the media player could not open the null sink";
    VoicePlayer player(Program::Orvessa, std::move(engine));
    RecordingShortSoundPlayer sounds;
    std::unique_ptr<VoiceRecorder> recorder = createSystemVoiceRecorder();
    QObject timerOwner;
    TrainerWindow window(DataPlaces::portable(dir.path()), player, sounds, *recorder,
                         WindowTimers::makeQt(&timerOwner));
    window.messageSink = [](const QString &, const QString &, MessageIcon) {};
    window.engines = VoiceEngines::system();
    window.startup();
    runFor(300);
    ASSERT_TRUE(window.engines.available(VoiceEngine::FallbackDevice));
    const QString lesson = player.voiceFile;
    const auto times = window.state().sentences.times(window.state().currentSentence);
    ASSERT_TRUE(times);
    const double sentenceSeconds = times->end - times->start;

    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    struct Row {
        int option;
        const char *name;
    };
    const Row rows[] = {{1, "qt"}, {0, "mpv"}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        // The page opens with the lesson paused part-way into its first sentence.
        window.menuItemReleased(1);
        window.studyArea()->command(4)->click(); // 朗读
        runFor(400);
        window.menuItemReleased(6);
        runFor(200);
        const double before = player.backend().position() / player.toPlayerUnits(1.0);
        ASSERT_GT(before, times->start);
        Q_EMIT window.studyArea()->engineOption(row.option)->clicked();
        EXPECT_EQ(player.backend().name(), QString::fromLatin1(row.name));
        EXPECT_EQ(player.playerKind, row.option == 0 ? 2 : 1);
        runFor(400);
        const double after = player.backend().position() / player.toPlayerUnits(1.0);
        EXPECT_NEAR(after, before, 0.05);
        EXPECT_FALSE(player.backend().isPlaying());

        // Sentence study plays the sentence through the new engine to its end.
        window.menuItemReleased(1);
        runFor(200);
        const qsizetype from = capture.mark();
        window.studyArea()->command(4)->click();
        ASSERT_TRUE(runUntil([&] { return window.state().playback.repeatCount > 0; },
                             int(sentenceSeconds * 1000) + 3000));
        runFor(300);
        const double heard = capture.soundSeconds(from);
        std::cout << "[measure] " << row.name << ": " << heard << " s heard of a "
                  << sentenceSeconds << " s sentence" << std::endl;
        EXPECT_GT(heard, sentenceSeconds * 0.6);
        EXPECT_LT(heard, sentenceSeconds + 0.5);
        EXPECT_EQ(player.voiceFile, lesson);
    }
    capture.stop();
}

} // namespace
