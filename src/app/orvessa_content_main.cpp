#include "content/contenttool.h"
#include "media/audioimport.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

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
    audio.convertToMp3 = convertToMp3;
    const int status = runContentTool(args, out, err, audio);
    out.flush();
    err.flush();
    return status;
}
