#include "audio/qtshortsoundplayer.h"
#include "desktop/paintedcontrolaccessible.h"
#include "desktop/quitsignals.h"
#include "shell/trainerprogram.h"
#include "text/fonts.h"

#include <QApplication>
#include <clocale>

int main(int argc, char **argv) {
    // The window is designed at 96 dpi; on other screens Qt scales all of it by the screen's
    // own factor (1.25 at 120 dpi, 1.5 at 144 dpi), fractions included.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    // Qt sets the C locale from the environment; the media player parses numbers with it.
    std::setlocale(LC_NUMERIC, "C");
    installFontSubstitutions();
    PaintedControlAccessible::install();

    QtShortSoundPlayer sounds;
    TrainerProgramParts parts;
    parts.programDir = QCoreApplication::applicationDirPath();
    TrainerProgram program(std::move(parts), sounds);
    // The desktop ending the program closes the window the normal way, which saves.
    QuitSignals quitSignals([&program, &app] {
        TrainerWindow *window = program.window();
        if (window)
            window->core().setEndedByDesktop();
        if (window && window->isVisible())
            window->close();
        else
            app.quit();
    });
    program.start();
    return app.exec();
}
