#include "audio/qtshortsoundplayer.h"
#include "audio/voicebackend.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "content/programprofile.h"
#include "shell/trainerwindow.h"
#include "study/fonts.h"

#include <QApplication>
#include <clocale>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    // Qt sets the C locale from the environment; the media player parses numbers with it.
    std::setlocale(LC_NUMERIC, "C");
    installFontSubstitutions();

    ChosenBackend chosen = chooseVoiceBackend();
    VoicePlayer player(Program::Orvessa, std::move(chosen.backend));
    player.WmpEnable = chosen.WmpEnable;
    QtShortSoundPlayer sounds;

    QObject timerOwner;
    TrainerWindow window(QCoreApplication::applicationDirPath(), player, sounds,
                         WindowTimers::makeQt(&timerOwner));
    window.startup();
    return app.exec();
}
