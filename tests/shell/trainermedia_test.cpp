#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "shell/catalogueview.h"
#include "shell/trainermedia.h"
#include "shell/trainerwindow.h"
#include "support/busclient.h"
#include "support/programdirfixture.h"
#include "support/qstringprinter.h"
#include "support/windowfakes.h"
#include "text/fonts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace busclient;

namespace {

// The real trainer window with a fake lesson-audio back-end, driven as the desktop drives it:
// through playerctl when it is installed, otherwise through the same D-Bus calls.
class TrainerMediaTest : public ::testing::Test, protected TrainerWindowFakes {
protected:
    void SetUp() override {
        if (!haveBus())
            GTEST_SKIP() << "no session bus (run under dbus-run-session)";
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        programdir::copyDemoContent(dir.path());
        player = std::make_unique<VoicePlayer>(
            Program::Orvessa, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
        window = std::make_unique<TrainerWindow>(DataPlaces::portable(dir.path()), *player, sounds,
                                                 recorder, timers());
        window->messageSink = [](const QString &, const QString &, MessageIcon) {};
        window->startup();
        media = std::make_unique<TrainerMedia>(*window);
        ASSERT_TRUE(media->mpris().registered());
    }
    void TearDown() override {
        media.reset();
        window.reset();
    }

    // A playerctl command ("play-pause", "next", "status", "metadata title").
    QString desktop(const QString &command) {
        const QStringList words = command.split(u' ');
        if (!playerctlPath().isEmpty())
            return playerctl(QStringList{QStringLiteral("-p"), QStringLiteral("orvessa")} + words);
        if (words[0] == u"status")
            return property(playerInterface, QStringLiteral("PlaybackStatus")).toString();
        if (words[0] == u"metadata") {
            const QVariantMap map = property(playerInterface, QStringLiteral("Metadata")).toMap();
            const QVariant value = map.value(QStringLiteral("xesam:") + words[1]);
            return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                            : value.toString();
        }
        const QString method = words[0] == u"play-pause" ? QStringLiteral("PlayPause")
                               : words[0] == u"next"     ? QStringLiteral("Next")
                                                         : QStringLiteral("Previous");
        call(playerInterface, method);
        return {};
    }
    FakeVoiceBackend &fake() { return static_cast<FakeVoiceBackend &>(player->backend()); }
    QString english(int sentence) const {
        return window->state().sentences.entry(sentence).english;
    }

    QTemporaryDir dir;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<TrainerWindow> window;
    std::unique_ptr<TrainerMedia> media;
};

TEST_F(TrainerMediaTest, SentenceStudyPlaysPausesAndMovesFromTheDesktop) {
    const TrainerState &s = window->state();
    ASSERT_GE(s.sentenceCount, 3);
    ASSERT_EQ(s.currentSentence, 1);
    EXPECT_EQ(desktop(QStringLiteral("metadata title")), window->catalogue()->lessonName());
    EXPECT_EQ(desktop(QStringLiteral("metadata album")), window->catalogue()->bookTitle());
    EXPECT_EQ(desktop(QStringLiteral("metadata artist")), english(1));
    // The lesson's first sentence plays as it loads; the desktop holds it, then plays it
    // again (朗读).
    EXPECT_TRUE(fake().isPlaying());
    EXPECT_EQ(desktop(QStringLiteral("status")), u"Playing");
    desktop(QStringLiteral("play-pause"));
    EXPECT_FALSE(fake().isPlaying());
    EXPECT_EQ(desktop(QStringLiteral("status")), u"Paused");
    fake().calls.clear();
    desktop(QStringLiteral("play-pause"));
    EXPECT_TRUE(fake().isPlaying());
    EXPECT_TRUE(fake().calls.contains(u"play"));
    EXPECT_EQ(desktop(QStringLiteral("status")), u"Playing");

    // 下一句 and 上一句, and the sentence shown follows.
    desktop(QStringLiteral("next"));
    EXPECT_EQ(s.currentSentence, 2);
    EXPECT_EQ(desktop(QStringLiteral("metadata artist")), english(2));
    desktop(QStringLiteral("previous"));
    EXPECT_EQ(s.currentSentence, 1);
    // The window offers no sentence before the first: nor does the desktop.
    desktop(QStringLiteral("previous"));
    EXPECT_EQ(s.currentSentence, 1);
    EXPECT_FALSE(property(playerInterface, QStringLiteral("CanGoPrevious")).toBool());
}

TEST_F(TrainerMediaTest, FullTextReadingStartsPausesAndContinues) {
    window->menuItemReleased(2);
    const PlaybackState &pb = window->state().playback;
    desktop(QStringLiteral("play-pause"));
    EXPECT_EQ(pb.Command6Caption, u"停止朗读");
    EXPECT_TRUE(fake().isPlaying());
    EXPECT_EQ(desktop(QStringLiteral("status")), u"Playing");

    desktop(QStringLiteral("play-pause"));
    EXPECT_EQ(pb.Command7Caption, u"继续朗读");
    EXPECT_FALSE(fake().isPlaying());
    EXPECT_EQ(desktop(QStringLiteral("status")), u"Paused");

    desktop(QStringLiteral("play-pause"));
    EXPECT_EQ(pb.Command7Caption, u"暂停朗读");
    EXPECT_EQ(pb.Command6Caption, u"停止朗读"); // continued, not started over
    EXPECT_TRUE(fake().isPlaying());
}

} // namespace
