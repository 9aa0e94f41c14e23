#pragma once

#include "lessonimport.h"

#include <QStringList>
#include <QTextStream>
#include <functional>

// A recording judged against a model, as the speech layer prints it.
struct JudgedTake {
    QString line;    // the JSON object or "PATH<TAB>summary", without a newline
    QString problem; // why the recording or the model could not be read; empty when judged
};

// What the speech layer does for the tool; the content layer itself runs no recogniser.
struct SpeechTools {
    // Why recordings cannot be judged on this machine (the recogniser does not load); empty
    // when they can. Asked before anything else.
    std::function<QString()> unavailable;
    // Judges the recording at recordingPath against the model audio at modelPath for sentence;
    // the line names it as shownAs, in JSON when json is set. One model file with one
    // sentence is analysed once.
    std::function<JudgedTake(const QString &sentence, const QString &modelPath,
                             const QString &recordingPath, const QString &shownAs, bool json)>
        judge;
    // Why no recording of sentence can be judged against its model, the stretch
    // [startSec, endSec) of the lesson audio at audioPath as the follow-read page cuts it;
    // empty when recordings can be.
    std::function<QString(const QString &sentence, const QString &audioPath, double startSec,
                          double endSec)>
        modelProblem;
};

// The content authors' command-line tool: lesson, booklist, settings, results, check,
// import, shift, feedback.
// args excludes the program name. Returns the process exit status; every failure
// prints one line on err and returns non-zero. audio reads and converts the audio of an
// import; without it import fails. speech judges recordings (feedback, check --speech);
// without it those fail.
int runContentTool(const QStringList &args, QTextStream &out, QTextStream &err,
                   const AudioTools &audio = {}, const SpeechTools &speech = {});
