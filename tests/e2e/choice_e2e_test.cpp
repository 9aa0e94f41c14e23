#include "audio/mpvbackend.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "e2ehelpers.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>
#include <iostream>

namespace {

TEST(BackendChoice, WithASoundServerTheMediaPlayerIsChosen) {
    QElapsedTimer clock;
    clock.start();
    ChosenBackend chosen = chooseVoiceBackend();
    const qint64 cost = clock.elapsed();
    std::cout << "[measure] choosing the back-end with a sound server: " << cost << " ms"
              << std::endl;
    ASSERT_TRUE(chosen.backend);
    EXPECT_EQ(chosen.backend->name(), QStringLiteral("mpv"));
    EXPECT_EQ(chosen.WmpEnable, 1);
    auto *mpv = qobject_cast<MpvBackend *>(chosen.backend.get());
    ASSERT_TRUE(mpv);
    EXPECT_EQ(mpv->audioOutput(), QStringLiteral("pulse"));
    VoicePlayer player(Program::Orvessa, std::move(chosen.backend));
    EXPECT_EQ(player.playerKind, 2);
    EXPECT_LT(cost, 1000);
}

// Runs in a child process whose sound server does not exist (started by the next test).
TEST(NoSoundServer, DISABLED_TheFallbackIsChosenAndKeepsTime) {
    QElapsedTimer clock;
    clock.start();
    ChosenBackend chosen = chooseVoiceBackend();
    const qint64 cost = clock.elapsed();
    std::cout << "[measure] choosing the back-end without a sound server: " << cost << " ms"
              << std::endl;
    ASSERT_TRUE(chosen.backend);
    EXPECT_EQ(chosen.backend->name(), QStringLiteral("qt"));
    EXPECT_EQ(chosen.WmpEnable, 0);
    VoicePlayer player(Program::Orvessa, std::move(chosen.backend));
    ASSERT_EQ(player.playerKind, 1);
    // Without a server the fallback plays silently, its position running in real time,
    // so sentences still end and repeat.
    player.voiceFile = fixture("tone.mp3");
    player.VoiceSet();
    player.VoiceOpen();
    waitMs(300);
    player.voiceStart = player.toPlayerUnits(1.0);
    player.VoiceSetPosition();
    player.VoicePlay();
    ASSERT_GE(waitUntil(
                  [&] {
                      player.VoiceGetPosition();
                      return player.voicePosition > 1000;
                  },
                  1500),
              0);
    waitMs(500);
    player.VoiceGetPosition();
    EXPECT_NEAR(player.voicePosition, 1500, 200);
    player.VoicePause();
}

TEST(BackendChoice, WithoutASoundServerTheFallbackIsChosen) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/orvessa/native"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=NoSoundServer.*")});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("[measure]"))
            std::cout << line.toStdString() << std::endl;
    }
}

} // namespace
