#include "sentenceretimer.h"

#include "audio/voiceplayer.h"
#include "content/settingsfile.h"
#include "files/filebytes.h"
#include "media/audioimport.h"
#include "study/lessonloader.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

#include <algorithm>
#include <cmath>

namespace {

QString refusalLine(RetimeRefusal refusal) {
    switch (refusal) {
    case RetimeRefusal::StartNotBeforeEnd:
        return QStringLiteral("开始要早于结束，这一步没有做。");
    case RetimeRefusal::BeforeAudio:
        return QStringLiteral("开始已经在录音的最前面，不能再提前了。");
    case RetimeRefusal::PastAudio:
        return QStringLiteral("结束已经到了录音的末尾，不能再推后了。");
    case RetimeRefusal::RichText:
        return QStringLiteral("这一课的课文是 RTF 格式，不能在这里调整时间。");
    case RetimeRefusal::NoSentence:
    case RetimeRefusal::NoTimes:
    case RetimeRefusal::None:
        break;
    }
    return QStringLiteral("课文文件和打开时不一样了，请重新打开本课再调整。");
}

QString saveFailureLine(const SaveResult &saved) {
    if (saved.error == SaveError::ReadOnly)
        return QStringLiteral("本课的课文文件是只读的，时间没有保存。");
    return QStringLiteral("本课的课文文件写不进去，时间没有保存。");
}

double probedSeconds(const QString &path) {
    if (fileKind(path) != FileKind::Regular)
        return 0;
    const AudioFileFacts facts = probeAudioFile(path);
    return facts.error.isEmpty() ? facts.seconds : 0;
}

} // namespace

SentenceRetimer::SentenceRetimer(TrainerState &state, VoicePlayer &player,
                                 SentencePlayback &playback, QObject *parent)
    : QObject(parent), audioSeconds(probedSeconds), m_state(state), m_player(player),
      m_playback(playback) {}

void SentenceRetimer::lessonOpening(const DataPlaces &places, const QString &lessonFile) {
    m_places = places;
    m_lessonFile = lessonFile;
    m_opened.clear();
    m_problemSentence = 0;
    m_problem.clear();
    m_audioProbed.clear();
}

std::optional<SentenceTimes> SentenceRetimer::shownTimes() const {
    if (m_lessonFile.isEmpty())
        return std::nullopt;
    return m_state.sentences.times(m_state.currentSentence);
}

bool SentenceRetimer::canRestore() const {
    return shownTimes() && m_opened.count(m_state.currentSentence) > 0;
}

QString SentenceRetimer::problem() const {
    return m_problemSentence == m_state.currentSentence ? m_problem : QString();
}

QString SentenceRetimer::timesText(const SentenceTimes &times) {
    const auto clock = [](double seconds) {
        const qint64 ms = std::llround(std::max(0.0, seconds) * 1000);
        return QStringLiteral("%1:%2.%3")
            .arg(ms / 60000, 2, 10, QChar(u'0'))
            .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
            .arg(ms % 1000, 3, 10, QChar(u'0'));
    };
    return clock(times.start) + QStringLiteral(" – ") + clock(times.end);
}

bool SentenceRetimer::step(Edge edge, int milliseconds) {
    const std::optional<SentenceTimes> times = shownTimes();
    if (!times)
        return false;
    const double moved = (edge == Edge::Start ? times->start : times->end) + milliseconds / 1000.0;
    const std::optional<double> start = edge == Edge::Start ? std::optional(moved) : std::nullopt;
    const std::optional<double> end = edge == Edge::End ? std::optional(moved) : std::nullopt;
    const int sentence = m_state.currentSentence;
    // Only an End moved later can pass the end of the audio, which takes a decode to know.
    const double audio = edge == Edge::End && milliseconds > 0 ? lessonAudioSeconds() : 0;
    return save(sentence, [&](const QByteArray &bytes) {
        return setSentenceTimes(bytes, sentence, start, end, audio);
    });
}

bool SentenceRetimer::restore() {
    const int sentence = m_state.currentSentence;
    const auto opened = m_opened.find(sentence);
    if (!shownTimes() || opened == m_opened.end())
        return false;
    const Written was = opened->second;
    return save(sentence, [&](const QByteArray &bytes) {
        return restoreSentenceTimes(bytes, sentence, was.start, was.end);
    });
}

bool SentenceRetimer::save(int sentence,
                           const std::function<RetimeResult(const QByteArray &)> &rewrite) {
    const FileBytes file =
        readFileBytes(m_places.readPath(m_lessonFile), LessonLoader::maxLessonFileBytes);
    if (!file.error.isEmpty())
        return fail(sentence, QStringLiteral("读不到本课的课文文件，时间没有改。"));

    // The file must still hold the times the table holds: written since by another program
    // (or the content tool), its sentence may not be this one any more.
    const QString &record = m_state.sentences.entry(sentence).record;
    const std::optional<std::pair<QString, QString>> shown = recordTimeTexts(record);
    const RetimeResult onDisk = setSentenceTimes(file.bytes, sentence, std::nullopt, std::nullopt);
    if (onDisk.refusal != RetimeRefusal::None)
        return fail(sentence, refusalLine(onDisk.refusal));
    if (!shown || onDisk.start != shown->first || onDisk.end != shown->second)
        return fail(sentence, refusalLine(RetimeRefusal::NoTimes));

    const RetimeResult result = rewrite(file.bytes);
    if (result.refusal != RetimeRefusal::None)
        return fail(sentence, refusalLine(result.refusal));
    const std::optional<QString> changedRecord = recordWithTimes(record, result.start, result.end);
    if (!changedRecord)
        return fail(sentence, refusalLine(RetimeRefusal::NoTimes));

    if (result.changed) {
        // The program directory when it is writable, else the learner's copy, which the
        // loader reads first from now on.
        const SaveResult saved =
            saveSettingsFile(m_places.preparedWritePath(m_lessonFile), result.bytes);
        if (!saved.ok())
            return fail(sentence, saveFailureLine(saved));
    }

    m_opened.try_emplace(sentence, Written{shown->first, shown->second});
    if (const auto opened = m_opened.find(sentence);
        opened->second.start == result.start && opened->second.end == result.end)
        m_opened.erase(opened);
    m_state.sentences.replaceRecord(sentence, *changedRecord);
    m_problemSentence = 0;
    m_problem.clear();
    if (const std::optional<SentenceTimes> times = m_state.sentences.times(sentence))
        playAgain(*times);
    Q_EMIT changed();
    return true;
}

bool SentenceRetimer::fail(int sentence, QString line) {
    m_problemSentence = sentence;
    m_problem = std::move(line);
    Q_EMIT changed();
    return false;
}

double SentenceRetimer::lessonAudioSeconds() {
    // Probed once per lesson audio: decoding a whole file takes a moment (some 0.9 s of CPU for
    // 30 minutes of MP3).
    if (m_audioProbed != m_player.voiceFile || m_audioProbed.isEmpty()) {
        m_audioProbed = m_player.voiceFile;
        m_audioLength = audioSeconds && !m_audioProbed.isEmpty() ? audioSeconds(m_audioProbed) : 0;
    }
    return m_audioLength;
}

void SentenceRetimer::playAgain(const SentenceTimes &times) {
    // A sentence the panel or full-text reading started would otherwise end at its own End.
    m_playback.stopPanelSentence();
    m_player.voiceStart = m_player.toPlayerUnits(times.start);
    m_player.voiceEnd = m_player.toPlayerUnits(times.end);
    m_playback.playCurrentTimes();
}
