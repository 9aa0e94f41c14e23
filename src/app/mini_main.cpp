#include "audio/qtshortsoundplayer.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "content/dataplaces.h"
#include "content/staletemporaries.h"
#include "desktop/paintedcontrolaccessible.h"
#include "desktop/quitsignals.h"
#include "desktop/singleinstance.h"
#include "mini/minimedia.h"
#include "mini/miniwindow.h"
#include "text/fonts.h"

#include <QApplication>
#include <clocale>

int main(int argc, char **argv) {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    // The same window class however it is started (build/bin/mini, the PATH's orvessa-mini),
    // so the desktop matches the strip to its menu entry.
    QApplication::setApplicationName(QStringLiteral("orvessa-mini"));
    // Qt sets the C locale from the environment; the media player parses numbers with it.
    std::setlocale(LC_NUMERIC, "C");
    // One strip: a second start (迷你模式 pressed again, the menu entry) brings the running
    // strip to the front instead of playing a second one over it. The lock is taken before
    // anything else, so that a strip still starting up counts too.
    const SingleInstance one(QStringLiteral("orvessa-mini"));
    if (!one.claimed()) {
        MprisPlayer::raiseRunning(MiniMedia::serviceSuffix);
        return 0;
    }
    installFontSubstitutions();
    PaintedControlAccessible::install();

    QtShortSoundPlayer sounds;
    // 1. WmpEnable is 0 until the media player exists; playerKind follows the back-end.
    ChosenBackend chosen = chooseVoiceBackend();
    const int WmpEnable = chosen.WmpEnable;
    VoicePlayer player(Program::Mini, std::move(chosen.backend));
    player.WmpEnable = WmpEnable;
    const std::unique_ptr<VoiceRecorder> recorder = createSystemVoiceRecorder();
    QObject timerOwner;
    const DataPlaces places = DataPlaces::forProgram(QCoreApplication::applicationDirPath());
    // What a killed save or import left where this program writes.
    removeStaleTemporaries(places.writeRoot());
    MiniWindow window(places, player, sounds, *recorder, WindowTimers::makeQt(&timerOwner));
    // The desktop ending the program closes the window the normal way, which saves.
    QuitSignals quitSignals([&window, &app] {
        window.core().setEndedByDesktop();
        if (window.isVisible())
            window.close();
        else
            app.quit();
    });
    window.startup();
    // Media keys and the desktop's player widgets; nothing without a session bus.
    MiniMedia media(window);
    return app.exec();
}
