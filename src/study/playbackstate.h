#pragma once

// What sentence playback, full-text reading and the speed choice keep between events,
// named after the controls that show it. Captions double as state: the handlers compare
// them as strings.

#include <QString>
#include <array>

struct PlaybackState {
    int repeatCount = 0;     // plays of the current sentence since it was started
    int readingSentence = 0; // sentence full-text reading stands at; 0 = before the first

    QString Combo2Text = QStringLiteral("1"); // repeat count; "0" and "1" both mean one play
    QString Combo3Text = QStringLiteral("0"); // pause in seconds
    // The pickers' texts remembered per mode (saved in the settings file).
    QString studyRepeats, studyPause;   // 句子学习
    QString browseRepeats, browsePause; // 全文浏览

    QString Command6Caption = QStringLiteral("全文朗读"); // "停止朗读" while reading
    QString Command7Caption = QStringLiteral("暂停朗读"); // "继续朗读" while paused
    bool Command7Enabled = false;

    // Speed: 0 slow (Option1), 1 normal (Option2), 2 fast (Option3).
    int speedOption = 1;
    // The radio pictures Image9(0..2) beside the speed labels, relative to the program
    // directory: "bitmap/t.jpg" on the chosen speed, "bitmap/f.jpg" on the others.
    std::array<QString, 3> Image9Picture{QStringLiteral("bitmap/f.jpg"),
                                         QStringLiteral("bitmap/t.jpg"),
                                         QStringLiteral("bitmap/f.jpg")};
    // The rate the lesson audio was last given (0.5 to 2.0). The sentence-end watch needs it
    // to know how much of the recording one poll lets through.
    double rate = 1.0;
};
