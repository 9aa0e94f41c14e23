#pragma once

// The controls of the study area that the study modes show, hide and fill, as plain values
// named after the controls. The window paints them; StudyView changes them. Positions and
// sizes are twips. Picture paths are relative to the program directory ("bitmap/1.jpg").
//
// The single-sentence view (Label1, Label51, Label2, Label7(5), Text2, the option twins) lies
// under the lesson panel (Picture5) and the follow-read panel (Picture4): its controls keep
// their own visible flags and show only where neither panel covers them.

#include "content/programprofile.h"

#include <QString>

struct ViewLabel {
    QString text;
    bool visible = true;
};

struct CheckBox {
    int value = 1; // 0 or 1; a change from code runs the click handler, as a click does
    bool visible = false;
};

// The label half of a picture-check twin. Its caption starts with blanks that leave room for
// the tick picture, which sits at the label's left and top.
struct TwinLabel {
    QString caption;
    int left = 0;
    int top = 0;
    int width = 0;
    bool visible = true;
};

// The tick picture of a twin; it follows its label's place and visibility.
struct TwinPicture {
    QString path;
    bool visible = true;
};

// Label10 and Label11, the sentence inside the follow-read panel, relative to the panel.
struct FollowReadLabel {
    QString text;
    int left = 0;
    int top = 0;
    int width = 0;  // natural width while autoSize, else the wrapping width
    int height = 0; // lines * one line's height
    int lines = 1;
    bool autoSize = true;
    bool visible = true;
};

// Design places of the follow-read panel that the sentence lines are laid out against.
struct FollowReadGeometry {
    int Label7_11Right = 8880; // right edge of the panel's caption label
    int wrapInset = 700;       // the English line wraps this far left of that edge
    int Label10Left = 600;
    int Label10Top = 900;
    int Label10LineHeight = 315; // one line of the English sentence font
    int Label11Left = 600;
    int Label11Gap = 130; // Label11 starts this far below Label10's bottom
    int Label11LineHeight = 210;

    int availableWidth() const { return Label7_11Right - wrapInset; }
};

// The typing box. text mirrors what the learner typed (the window keeps it current); the
// selection is where the last check left the caret (selectionLength 0) or the letter it
// selected (selectionLength 1), in UTF-16 units.
struct TypingBox {
    QString text;
    int selectionStart = 0;
    int selectionLength = 0;
};

struct StudyViewState {
    // Mode heading.
    ViewLabel Label7_12; // mode title
    ViewLabel Label7_13; // mode instruction (recall modes)

    // Panels and groups of the study area.
    bool Picture5Visible = false;  // lesson panel
    bool Picture4Visible = false;  // follow-read panel
    bool Label13Visible = false;   // "录音音量调节>>"
    bool Picture11Visible = false; // voice options page
    bool Picture12Visible = false; // dictation key-hint bar
    bool speedOptionsVisible = true;
    bool pickersVisible = true;            // Combo2, Combo3
    bool dictationControlsVisible = false; // buttons, counters, Combo5, shortcut line, progress
    bool Shape3Visible = true;             // outline of the single-sentence view
    bool Shape8Visible = false;            // outline of the lesson panel
    bool Label7_6Visible = true;           // blank light-grey background
    // The sentence-study buttons besides Command1 and Command2 (TrainerState holds those).
    bool Command3Visible = true;   // 首句
    bool Command4Visible = true;   // 朗读
    bool Command5Visible = true;   // 提示(&H)
    bool Command6Visible = false;  // 全文朗读 (captions and enabled: PlaybackState)
    bool Command7Visible = false;  // 暂停朗读
    bool Command16Visible = false; // 重置

    // Display options and their twins.
    CheckBox Check1{1, true};  // 句子英文提示
    CheckBox Check2{1, true};  // 句子中文提示
    CheckBox Check3{1, false}; // 显示中文 (rows)
    CheckBox Check4{1, false}; // 句子中文提示 (follow-read panel)
    CheckBox Check5{1, false}; // 显示英文 (rows); not saved
    TwinLabel Label21{QStringLiteral("   显示英文"), 2835, 6435, 1215, true};
    TwinLabel Label22{QStringLiteral("    显示中文"), 4110, 6435, 1335, true};
    TwinLabel Label23{QStringLiteral("    显示中文句子"), 6480, 7425, 1575, false};
    TwinLabel Label24{QStringLiteral("    句子中文提示"), 600, 3150, 1575, true};
    TwinLabel Label31{QStringLiteral("    显示英文"), 8175, 7425, 1335, false};
    TwinPicture Image10{QStringLiteral("bitmap/1.jpg"), true};   // with Label21, Check1
    TwinPicture Image11{QStringLiteral("bitmap/1.jpg"), true};   // with Label22, Check2
    TwinPicture Image12{QStringLiteral("bitmap/a1.jpg"), false}; // with Label23, Check3
    TwinPicture Image13{QStringLiteral("bitmap/1.jpg"), true};   // with Label24, Check4
    TwinPicture Image27{QStringLiteral("bitmap/a1.jpg"), false}; // with Label31, Check5

    // The single-sentence view.
    ViewLabel Label1;                    // English sentence, trimmed
    ViewLabel Label51{QString(), false}; // masked English sentence
    ViewLabel Label2;                    // Chinese sentence, trimmed
    ViewLabel Label7_5;                  // "3 / 12"
    QString sentenceToolTip;             // mini: lesson and place, on Label1 and Label2
    TypingBox Text2;
    FollowReadLabel Label10; // English in the follow-read panel
    FollowReadLabel Label11; // Chinese in the follow-read panel
    FollowReadGeometry followRead;

    // The design state of the program's study area before the first cc: mini's twins have
    // their own captions, and its full-text Chinese option ticks with 1.jpg.
    static StudyViewState forProgram(Program program) {
        StudyViewState view;
        if (program == Program::Mini) {
            view.Label21.caption = QStringLiteral("   显示英文句子");
            view.Label22.caption = QStringLiteral("    显示中文句子");
            view.Label23.caption = QStringLiteral("   显示中文");
            view.Image12.path = QStringLiteral("bitmap/1.jpg");
        }
        return view;
    }
};
