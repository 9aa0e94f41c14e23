#include "importtools.h"

#include "media/audioimport.h"

#include <memory>

AudioTools lessonImportTools() {
    AudioTools tools;
    tools.probe = [](const QString &path) {
        const AudioFileFacts facts = probeAudioFile(path);
        return AudioFacts{facts.seconds, facts.isMp3, facts.error};
    };
    auto damage = std::make_shared<QString>();
    tools.convertToMp3 = [damage](const QString &from, const QString &to, const ImportProgress &) {
        return convertToMp3(from, to, damage.get());
    };
    tools.conversionNote = [damage] { return *damage; };
    return tools;
}
