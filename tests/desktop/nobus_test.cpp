#include "desktop/mprisplayer.h"

#include <QDBusConnection>
#include <gtest/gtest.h>

// Run in a process of its own whose session bus address leads nowhere (see CMakeLists.txt).
TEST(MprisNoBus, ThePlayerStaysOffAndEverythingElseWorks) {
    if (QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "a session bus is reachable here";
    int runs = 0;
    MprisControls controls;
    controls.playPause = [&runs] { ++runs; };
    MprisPlayer player(QStringLiteral("orvessa"), QStringLiteral("Orvessa"),
                       QStringLiteral("orvessa"), controls);
    EXPECT_FALSE(player.registered());
    player.setPlaybackStatus(MprisPlayer::Status::Playing);
    player.setMetadata(QStringLiteral("Lesson 1"), QStringLiteral("Excuse me!"),
                       QStringLiteral("英语900句"));
    player.setNavigation(false, false);
    EXPECT_EQ(player.playbackStatusText(), u"Playing");
    EXPECT_EQ(runs, 0);
}
