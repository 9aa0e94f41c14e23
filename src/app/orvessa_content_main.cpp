#include "content/contenttool.h"
#include "media/audioimport.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    // import reads and converts audio through FFmpeg.
    AudioTools audio;
    audio.probe = [](const QString &path) {
        const AudioFileFacts facts = probeAudioFile(path);
        return AudioFacts{facts.seconds, facts.isMp3, facts.error};
    };
    auto damage = std::make_shared<QString>();
    audio.convertToMp3 = [damage](const QString &from, const QString &to) {
        return convertToMp3(from, to, damage.get());
    };
    audio.conversionNote = [damage] { return *damage; };
    const int status = runContentTool(args, out, err, audio);
    out.flush();
    err.flush();
    return status;
}
