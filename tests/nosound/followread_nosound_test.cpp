#include "audio/fakevoicebackend.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "shell/studyarea.h"
#include "shell/trainerwindow.h"
#include "support/programdirfixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The follow-read page of a window whose recorder finds no sound server: 录音 says so on the
// page, offers nothing to play, and the rest of the page goes on working.
TEST(FollowReadWithoutServer, RecordShowsTheCalmLineAndThePageGoesOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    programdir::copyDemoContent(dir.path());
    VoicePlayer player(Program::Orvessa,
                       std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
    RecordingShortSoundPlayer sounds;
    std::unique_ptr<VoiceRecorder> recorder = createSystemVoiceRecorder();
    ManualTicker Timer1{30}, Timer2{10}, Timer3{10}, endShot{1}, recordLimit{60000};
    TrainerWindow window(DataPlaces::portable(dir.path()), player, sounds, *recorder,
                         WindowTimers{&Timer1, &Timer2, &Timer3, &endShot, &recordLimit});
    window.messageSink = [](const QString &, const QString &, MessageIcon) {};
    window.startup();
    window.menuItemReleased(5);
    StudyArea *area = window.studyArea();
    const auto notice = area->findChild<QLabel *>(QStringLiteral("FollowReadNotice"));
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->isHidden());

    area->command(8)->click();
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(notice->text(), QStringLiteral("没有连接到声音服务，无法录音。"));
    for (int number : {10, 12, 9})
        EXPECT_FALSE(area->command(number)->isEnabled()) << "Command" << number;
    EXPECT_TRUE(area->command(8)->isEnabled()) << "the learner may try again";
    EXPECT_TRUE(area->command(11)->isEnabled());

    area->command(14)->click();
    EXPECT_EQ(window.state().currentSentence, 2);
    window.close();
}

} // namespace
