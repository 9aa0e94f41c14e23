#include "audio/fakevoicebackend.h"
#include "audio/fakevoicerecorder.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "mini/minimedia.h"
#include "mini/miniwindow.h"
#include "support/busclient.h"
#include "support/programdirfixture.h"
#include "text/fonts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace busclient;

const QString strip = QStringLiteral("org.mpris.MediaPlayer2.orvessa_mini");

// The strip from the desktop: pause and go on as its "暂停"/"继续" item, step the sentences,
// and tell the lesson and the sentence.
TEST(MiniMediaTest, TheDesktopPausesContinuesAndStepsTheStrip) {
    if (!haveBus())
        GTEST_SKIP() << "no session bus (run under dbus-run-session)";
    installFontSubstitutions();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    programdir::copyDemoContent(dir.path());
    VoicePlayer player(Program::Mini,
                       std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
    player.playerKind = 2;
    RecordingShortSoundPlayer sounds;
    FakeVoiceRecorder recorder;
    ManualTicker Timer1{30}, Timer2{10}, Timer3{10}, endShot{1}, recordLimit{60000};
    MiniWindow window(DataPlaces::portable(dir.path()), player, sounds, recorder,
                      WindowTimers{&Timer1, &Timer2, &Timer3, &endShot, &recordLimit});
    window.messageSink = [](const QString &, const QString &, MessageIcon) {};
    window.startup();
    MiniMedia media(window);
    ASSERT_TRUE(media.mpris().registered());
    const TrainerState &s = window.core().state();
    const auto status = [] {
        return property(playerInterface, QStringLiteral("PlaybackStatus"), strip).toString();
    };
    const auto metadata = [](const char *key) {
        return property(playerInterface, QStringLiteral("Metadata"), strip)
            .toMap()
            .value(QStringLiteral("xesam:") + QString::fromLatin1(key));
    };

    EXPECT_EQ(metadata("title").toString(), s.Label7_20.text);
    EXPECT_EQ(status(), QStringLiteral("Playing"));
    call(playerInterface, QStringLiteral("PlayPause"), {}, strip);
    EXPECT_TRUE(window.pausedByLearner());
    EXPECT_FALSE(player.backend().isPlaying());
    EXPECT_EQ(status(), QStringLiteral("Paused"));
    call(playerInterface, QStringLiteral("Play"), {}, strip);
    EXPECT_FALSE(window.pausedByLearner());
    EXPECT_TRUE(player.backend().isPlaying());

    const int before = s.currentSentence;
    call(playerInterface, QStringLiteral("Next"), {}, strip);
    EXPECT_EQ(s.currentSentence, before + 1);
    EXPECT_TRUE(metadata("artist").toStringList().join(u' ').contains(s.view.Label1.text) ||
                metadata("comment").toStringList().join(u' ').contains(s.view.Label1.text));
    call(playerInterface, QStringLiteral("Previous"), {}, strip);
    EXPECT_EQ(s.currentSentence, before);

    // A second start finds the strip and brings it back instead of playing a second one.
    window.showMinimized();
    EXPECT_TRUE(MprisPlayer::raiseRunning(MiniMedia::serviceSuffix, client()));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(MprisPlayer::raiseRunning(QStringLiteral("orvessa_nobody"), client()));
}

} // namespace
