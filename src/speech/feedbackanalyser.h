#pragma once

#include "speechtypes.h"

#include <QHash>
#include <QString>
#include <memory>

class SpeechAligner;

// What the recogniser found in a model recording of a sentence.
struct ModelAnalysis {
    SpeechAnalysis analysis;
    PitchContour pitch;
};

// Judges learners' recordings against models, synchronously, on whichever thread owns it (one
// at a time: the recogniser keeps per-call state). The recogniser loads once, with load() or
// the first analysis; the models' analyses are kept per key.
class FeedbackAnalyser {
public:
    // keptModels: how many models' analyses are kept before all are forgotten (0: no limit).
    explicit FeedbackAnalyser(int keptModels = 8);
    ~FeedbackAnalyser();
    FeedbackAnalyser(const FeedbackAnalyser &) = delete;
    FeedbackAnalyser &operator=(const FeedbackAnalyser &) = delete;

    // Loads the recogniser (slow, about 0.25 s); false when it cannot be, loadError() says why.
    bool load();
    QString loadError() const { return m_loadError; }

    // The model's analysis for sentence, kept under modelKey (the same key with the same
    // sentence: the kept one, whatever audio is passed).
    const ModelAnalysis &model(const QString &sentence, quint64 modelKey, const SpeechAudio &audio);
    bool hasModel(const QString &sentence, quint64 modelKey) const;

    // A model analysed afresh, kept nowhere.
    ModelAnalysis analyseModel(const QString &sentence, const SpeechAudio &audio);

    // Judges recording against the model kept (or analysed now) under modelKey.
    SentenceFeedback judge(const QString &sentence, quint64 modelKey, const SpeechAudio &model,
                           const SpeechAudio &recording);
    // Judges recording against an analysed model of sentence.
    SentenceFeedback judge(const ModelAnalysis &model, const QString &sentence,
                           const SpeechAudio &recording);

    // Why no recording can be judged against this model, in plain English (from what the
    // recogniser found: no word it knows, audio too short or silent, the sentence not found
    // in the audio); empty when recordings can be judged against it.
    static QString whyModelCannotBeJudged(const ModelAnalysis &model);

private:
    struct Kept {
        QString sentence;
        ModelAnalysis model;
    };
    int m_keptModels;
    std::unique_ptr<SpeechAligner> m_aligner;
    QString m_loadError;
    QHash<quint64, Kept> m_models;
};
