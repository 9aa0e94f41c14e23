#include "skinpictures.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

// orvessa-skin OUTPUT_DIR: draws 0.jpg 1.jpg a1.jpg t.jpg f.jpg into OUTPUT_DIR.
// Only raster painting is used (no fonts, no windows), so a core application is
// enough and the tool runs on a machine without a display.
int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: orvessa-skin OUTPUT_DIR\n"
                             "Draws the option pictures 0.jpg 1.jpg a1.jpg t.jpg f.jpg.\n");
        return 2;
    }
    const QString failure = writeSkinPictures(args.first());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "orvessa-skin: %s\n", qPrintable(failure));
        return 1;
    }
    return 0;
}
