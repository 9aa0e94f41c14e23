#pragma once

#include "speech/speechtypes.h"

#include "content/programprofile.h"

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <array>
#include <vector>

class InputLevelMeter;
class LessonPanel;
class PictureLabel;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class SentenceTimingBar;
class TextButton;
class PitchContourView;
class VoiceWaveView;
struct TrainerState;

// The study area right of the catalogue: the heading, the single-sentence view with its
// buttons, pickers, speed choice and option twins, the lesson panel, the full-text and
// reset controls, and the pages of the later modes. It shows what the TrainerState says
// (refresh()) and reports the learner's clicks as signals; it changes no state itself.
//
// Positions are the window's twips (the area's own place is subtracted where widgets are
// placed). Panels lie above the single-sentence view, which shows only where none covers it;
// a page (follow-read, voice options) is the whole area while it shows.
class StudyArea : public QWidget {
    Q_OBJECT
public:
    StudyArea(const QString &programDir, QWidget *parent = nullptr);

    // Re-reads every text, caption, picture, enabled state and visible flag it shows.
    void refresh(const TrainerState &state);

    LessonPanel *lessonPanel() const { return m_panel; }
    // The shown sentence's timing control in 句子学习; the window fills it.
    SentenceTimingBar *timingBar() const { return m_timing; }
    QLineEdit *Text2() const { return m_Text2; }
    QComboBox *Combo2() const { return m_Combo2; }
    QComboBox *Combo3() const { return m_Combo3; }
    // The pass-mark selector of the dictation: "60" to "100", "60" at first. Its text may
    // be any text a settings file gave it; it is kept and written back as it stands.
    QComboBox *Combo5() const { return m_Combo5; }
    // The two waveforms of the follow-read page.
    VoiceWaveView *waveView() const { return m_waves; }
    PitchContourView *contourView() const { return m_contours; }
    QLabel *feedbackSummary() const { return m_feedbackSummary; }
    // "录音音量调节>>" and the microphone's level it shows on the follow-read page.
    TextButton *Label13() const { return m_Label13; }
    InputLevelMeter *levelMeter() const { return m_levelMeter; }
    // The feedback on the learner's recording of sentence: its marks on the English line
    // while that line shows sentence, its summary (or status, when not empty) and contours.
    void showFeedback(const QString &sentence, const SentenceFeedback &feedback,
                      const QString &status);
    // "点此试听" on the voice options page.
    TextButton *sampleButton() const { return m_sample; }
    // The page's engine options, 0 "默认引擎" (the media player) and 1 "备用引擎" (the
    // fallback device), and its speed options by the main window's k (0 slow, 1 normal,
    // 2 fast), which show the same choice as Label20(k).
    PictureLabel *engineOption(int engine) const {
        return engine == 0 || engine == 1 ? m_engines[size_t(engine)] : nullptr;
    }
    PictureLabel *pageSpeedOption(int k) const {
        return k >= 0 && k < 3 ? m_pageSpeeds[size_t(k)] : nullptr;
    }
    // The engine in force (0 or 1) chosen, and which can be chosen; one that cannot is
    // disabled, with a line saying why.
    void showEngines(int inForce, const std::array<bool, 2> &available);
    // Command1..7, the follow-read page's Command8..15, Command16, the dictation's
    // Command22..25, Command28 and Command29;
    // nullptr for other numbers.
    QPushButton *command(int number) const;
    // Label21, Label22, Label23, Label31 by their check box (1, 2, 3, 5).
    PictureLabel *twin(int check) const;
    PictureLabel *Label20(int k) const;

    static constexpr int leftTwips = 2550;
    static constexpr int topTwips = 1020;

Q_SIGNALS:
    void commandClicked(int number);
    void twinClicked(int check);
    // Label20(k) or the voice options page's option for the same speed.
    void speedLabelClicked(int k);
    // An engine option of the voice options page (0 or 1).
    void engineClicked(int engine);
    void repeatPicked(const QString &text);
    void pausePicked(const QString &text);
    void sampleReleased();
    void label13Released();
    // The learner finished typing into Combo5 (Enter, or the focus left it).
    void passMarkEdited();
    // An entry was picked from Combo5's list.
    void passMarkPicked();

private:
    void buildHeading();
    void buildSentenceView();
    void buildModeControls();
    void buildPages();
    void buildDictation();
    void refreshDictation(const TrainerState &state);
    void refreshFollowRead(const TrainerState &state);
    void coverUnderPage();
    void showEnglishLine(const QString &text);
    QLabel *label(const QString &text, int pixelSize, const QString &colour);
    void place(QWidget *w, int left, int top, int width, int height);
    QPushButton *button(int number, const QString &caption);
    QPixmap picture(const QString &path);

    QString m_programDir;
    QHash<QString, QPixmap> m_pictures;

    QLabel *m_Label37 = nullptr;
    QLabel *m_Label7_12 = nullptr;
    QLabel *m_Label7_13 = nullptr;
    QFrame *m_Shape3 = nullptr;
    QFrame *m_Shape8 = nullptr;
    QLabel *m_Label7_5 = nullptr;
    QLabel *m_note = nullptr;
    QLabel *m_Label1 = nullptr;
    QLabel *m_Label51 = nullptr;
    QLabel *m_Label2 = nullptr;
    QLabel *m_prompt = nullptr;
    QLineEdit *m_Text2 = nullptr;
    std::array<QPushButton *, 30> m_commands{};
    QWidget *m_pickers = nullptr;
    QComboBox *m_Combo2 = nullptr;
    QComboBox *m_Combo3 = nullptr;
    QWidget *m_passMark = nullptr;
    QComboBox *m_Combo5 = nullptr;
    TextButton *m_sample = nullptr;
    QWidget *m_speed = nullptr;
    std::array<PictureLabel *, 3> m_Label20{};
    PictureLabel *m_Label21 = nullptr;
    PictureLabel *m_Label22 = nullptr;
    PictureLabel *m_Label23 = nullptr;
    PictureLabel *m_Label31 = nullptr;
    PictureLabel *m_Label24 = nullptr;
    QLabel *m_shortcuts = nullptr;
    SentenceTimingBar *m_timing = nullptr;
    // The dictation panel (studyMode 8).
    std::vector<QWidget *> m_dictationParts; // shown and hidden together
    QLabel *m_dictationShortcuts = nullptr;
    QLabel *m_hintCount = nullptr;
    QLabel *m_errorCount = nullptr;
    QLabel *m_replayCount = nullptr;
    QLabel *m_sentencePoints = nullptr;
    QLabel *m_Label33 = nullptr;
    QLabel *m_Label7_36 = nullptr;
    QLabel *m_Label34 = nullptr;
    QFrame *m_Picture9 = nullptr; // progress track
    QFrame *m_progressFill = nullptr;
    QFrame *m_Picture10 = nullptr; // progress knob
    QLabel *m_Picture12 = nullptr; // key-hint bar
    LessonPanel *m_panel = nullptr;
    QFrame *m_Picture4 = nullptr;
    QLabel *m_Label10 = nullptr;
    QLabel *m_Label11 = nullptr;
    TextButton *m_Label13 = nullptr;
    InputLevelMeter *m_levelMeter = nullptr;
    VoiceWaveView *m_waves = nullptr;
    PitchContourView *m_contours = nullptr;
    QLabel *m_feedbackSummary = nullptr;
    QString m_englishLine; // Label10's sentence as written (its text may carry marks)
    QString m_feedbackSentence;
    SentenceFeedback m_feedback;
    QLabel *m_followNotice = nullptr;
    QFrame *m_Picture11 = nullptr;
    std::array<PictureLabel *, 2> m_engines{};
    std::array<PictureLabel *, 3> m_pageSpeeds{};
    QLabel *m_engineNote = nullptr;
    std::vector<QPointer<QWidget>> m_covered; // hidden by the page that shows
};
