#include "content/contenttool.h"
#include "importing/importtools.h"
#include "media/segmentdecoder.h"
#include "speech/feedbackanalyser.h"
#include "speech/feedbackreport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

SpeechAudio speechAudio(AudioClip clip) {
    return {clip.sampleRate, std::move(clip.samples)};
}

// One recogniser for the whole run; each model (a file with a sentence) analysed once.
struct SpeechRun {
    struct Model {
        ModelAnalysis analysis;
        QString readError; // the model file could not be read
    };
    FeedbackAnalyser analyser{0};
    QHash<QString, Model> models; // by sentence and model path

    const Model &model(const QString &sentence, const QString &path) {
        const QString key = sentence + u'\n' + path;
        if (const auto found = models.constFind(key); found != models.constEnd())
            return *found;
        Model &model = models[key];
        // As the page has them: a model is a stretch of lesson audio decoded to 16 kHz, a
        // take a recording read at its own rate.
        QString error;
        const AudioClip clip =
            SegmentDecoder::decodeNow(path, 0, SegmentDecoder::maxStretchSeconds, &error);
        if (clip.isEmpty())
            model.readError = error.isEmpty() ? path + QStringLiteral(": cannot be read") : error;
        else
            model.analysis = analyser.analyseModel(sentence, speechAudio(clip));
        return model;
    }

    JudgedTake judge(const QString &sentence, const QString &modelPath, const QString &recording,
                     const QString &shownAs, bool json) {
        SentenceFeedback feedback;
        std::optional<qint64> ms;
        QString problem;
        const Model &against = model(sentence, modelPath);
        QString error;
        const AudioClip clip = SegmentDecoder::decodeWholeNow(recording, &error);
        if (clip.isEmpty()) {
            feedback.summary = QStringLiteral("无法读取这段录音。");
            problem = error.isEmpty() ? recording + QStringLiteral(": cannot be read") : error;
        } else if (!against.readError.isEmpty()) {
            feedback.summary = QStringLiteral("无法读取示范录音。");
            problem = QStringLiteral("the model: ") + against.readError;
        } else {
            QElapsedTimer clock;
            clock.start();
            feedback = analyser.judge(against.analysis, sentence, speechAudio(clip));
            ms = clock.elapsed();
        }
        return {json ? feedbackJsonLine(shownAs, feedback, ms)
                     : feedbackTextLine(shownAs, feedback),
                problem};
    }

    QString modelProblem(const QString &sentence, const QString &audioPath, double startSec,
                         double endSec) {
        QString error;
        const AudioClip clip = SegmentDecoder::decodeNow(audioPath, startSec, endSec, &error);
        if (clip.isEmpty())
            return QStringLiteral("its audio cannot be read (%1)").arg(error);
        return FeedbackAnalyser::whyModelCannotBeJudged(
            analyser.analyseModel(sentence, speechAudio(clip)));
    }
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    // import reads and converts audio through FFmpeg and finds a text's sentences in it.
    const AudioTools audio = lessonImportTools();
    // feedback and check --speech judge recordings as the follow-read page does.
    auto run = std::make_shared<SpeechRun>();
    SpeechTools speech;
    speech.unavailable = [run] {
        return run->analyser.load() ? QString() : run->analyser.loadError();
    };
    speech.judge = [run](const QString &sentence, const QString &model, const QString &recording,
                         const QString &shownAs, bool json) {
        return run->judge(sentence, model, recording, shownAs, json);
    };
    speech.modelProblem = [run](const QString &sentence, const QString &audioPath, double start,
                                double end) {
        return run->modelProblem(sentence, audioPath, start, end);
    };
    const int status = runContentTool(args, out, err, audio, speech);
    out.flush();
    err.flush();
    return status;
}
