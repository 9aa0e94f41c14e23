#pragma once

#include "audio/voicebackendfactory.h"
#include "content/dataplaces.h"
#include "content/lessonimport.h"
#include "content/settingsfile.h"
#include "desktop/programlauncher.h"
#include "study/resultsstore.h"
#include "study/reviewlist.h"
#include "study/sentenceretimer.h"
#include "study/trainercore.h"
#include "text/fontmeasurer.h"

#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class CatalogueView;
class FunctionMenu;
class ImportDialog;
class KeyCapture;
class LessonPanel;
class ResultsPanel;
struct LetterCheck;
class ShortSoundPlayer;
class StudyArea;
class Ticker;
class VoicePlayer;
class VoiceRecorder;

// The main window of the trainer: builds the function menu, the catalogue column and the
// study area, binds them to the window state and wires the events to the loader and the
// study code. It draws its own frame: no system title bar, dragged by its background, its
// own close and minimise buttons. Positions are twips of the 96-dpi design (11700 x 8325),
// converted to pixels only where widgets are placed; on other screens Qt scales the whole
// window.
//
// Closing it by any means (its close button, the desktop, a signal, the end of the
// session) runs the unload once: the settings are written, then playback ends.
class TrainerWindow : public QWidget {
    Q_OBJECT
public:
    // All references must outlive the window.
    TrainerWindow(const DataPlaces &places, VoicePlayer &player, ShortSoundPlayer &sounds,
                  VoiceRecorder &recorder, WindowTimers timers, QWidget *parent = nullptr);
    ~TrainerWindow() override;

    // The window's part of the program's start, after the display check and the choice of
    // the audio back-end: reads SETTING/set.dat, fills the selectors, the lesson list and
    // the tree, shows the window, loads the remembered lesson in sentence study, prepares
    // the recorder and restores the display options and the pass mark. Any step that
    // fails is skipped and its target keeps its value.
    void startup();
    // loadlesson for List1's current selection.
    void loadlesson();
    // A function menu item released: sets the study mode, pauses the player (not for the
    // dictation), stops the sentence-end watch, lays the area out for the mode, and what
    // the item adds: the dictation's start, the voice options page. Item 7 only starts the
    // companion program (saying so when it cannot) and leaves the mode as it is.
    void menuItemReleased(int item);
    // The dictation results of the current book, for the dictation test. lessonPassed():
    // List1's selected lesson marked passed, the results shown, the book's file saved, in
    // that order. showResults(): the results panel with the marks (成绩). recordWrongCheck():
    // the word the check of sentence (1-based) of the loaded lesson stumbled on, counted in
    // the review list.
    void lessonPassed();
    void showResults();
    void closeResults();
    void recordWrongCheck(int sentence, const LetterCheck &check);
    ResultsStore &results() { return m_results; }
    ReviewList &review() { return m_review; }
    // Fixing the shown sentence's times by ear (the timing control of 句子学习).
    SentenceRetimer &retimer() { return m_retimer; }
    ResultsPanel *Picture8() const { return m_Picture8; }

    // The settings record's values as the controls hold them now.
    OrvessaSettings liveSettings() const;
    // Whether the unload (settings saved, playback ended) has run.
    bool unloaded() const { return m_unloaded; }
    bool hoverFrameVisible() const;

    TrainerCore &core() { return m_core; }
    TrainerState &state() { return m_state; }
    LessonLoader &loader() { return m_loader; }
    StudyView &studyView() { return m_view; }
    // The dictation test. Its hooks lessonCompleted (the results store: mark passed, show
    // the results, save), wrongChecked (the review list) and showResults (Command28, the
    // results panel) are left empty for the parts that own those.
    DictationTest &dictation() { return m_dictation; }
    SentencePlayback &playback() { return m_playback; }
    FollowReadComparison &followRead() { return m_followRead; }
    FollowReadSounds &followReadSounds() { return m_followSounds; }
    FullTextReader &reader() { return m_reader; }
    CatalogueView *catalogue() const { return m_catalogue; }
    FunctionMenu *functionMenu() const { return m_menu; }
    StudyArea *studyArea() const { return m_area; }
    LessonPanel *lessonPanel() const;
    KeyCapture *Combo4() const { return m_Combo4; }

    // Replaces the modal message boxes (tests); empty shows them.
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageSink;
    // Starts mini and the companion program and opens files; tests replace it.
    ProgramLauncher launcher = ProgramLauncher::system();
    // The engines the voice options page can switch the lesson player to, for this run
    // (nothing stores the choice), and that plays the sample where the desktop has no
    // player for it. Empty: only the engine in force.
    VoiceEngines engines;
    // How "导入课程" reads, converts and aligns the learner's audio; tests hand in fakes.
    AudioTools importTools;
    // "导入课程": the import dialog, made at the first press and raised at the next.
    void openImport();
    ImportDialog *importDialog() const { return m_importDialog; }
    // A sentence of the lesson imported last, shown and played in sentence study (the
    // dialog's doubtful-sentence buttons).
    void showImportedSentence(int sentence);

    // The sample's own player, once "点此试听" has needed one.
    VoiceBackend *samplePlayer() const { return m_samplePlayer.get(); }

    static constexpr int widthTwips = 11700;
    static constexpr int heightTwips = 8325;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void wire();
    void buildResults();
    void bookRead();
    void playReviewSentence(int lessonIndex, int sentence);
    void buildChrome();
    void unload();
    void startMini();
    void startCompanion();
    void openMoreSoftware();
    void openSample();
    void showInputLevel();
    void stopSample();
    void chooseEngine(int engine);
    void showEngines();
    bool isBackground(const QWidget *widget) const;
    void backgroundHovered();
    void hideHoverFrame();
    void refreshView();
    void refreshPanel();
    void refreshFollowRead();
    void showFollowReadSounds();
    void showWavePositions();
    void onCommand(int number);
    void onRowPressed(RowHit hit);
    void onRowReleased(RowHit hit, Qt::MouseButton button);
    void focusCombo4();
    void focusTypingBox();
    void messageBox(const QString &text, const QString &title, MessageIcon icon);

    DataPlaces m_places;
    VoicePlayer &m_player;
    WindowTimers m_timers;
    // The row fonts' widths: the core lays the rows out with it, the lesson panel paints with
    // it. Made before the core, which keeps a reference.
    FontMeasurer m_measurer;
    TrainerCore m_core;
    // The core's parts under the names the window's code has always used.
    TrainerState &m_state;
    LessonLoader &m_loader;
    StudyView &m_view;
    DictationTest &m_dictation;
    SentencePlayback &m_playback;
    FullTextReader &m_reader;
    SpeedChoice &m_speed;
    VoiceRecorder &m_recorder;
    FollowReadComparison &m_followRead;
    FollowReadSounds &m_followSounds;
    ResultsStore m_results;
    ReviewList m_review;
    SentenceRetimer m_retimer;
    QTimer m_wavePoll;                  // moves the waveforms' position lines while the page shows
    quint64 m_wavesShown = ~quint64(0); // the sounds' revision the waveforms show
    QString m_waveHint;
    OrvessaSettingsFields m_settings; // what set.dat gave, read once at start-up
    bool m_unloaded = false;
    QPointF m_dragOrigin; // global position of the last press on the background
    QPoint m_dragWindowPos;
    bool m_dragArmed = false; // the button held was pressed on the background
    std::optional<std::array<bool, 2>> m_enginesAvailable; // asked once, when first shown
    std::unique_ptr<VoiceBackend> m_samplePlayer;
    VoiceEngine m_sampleEngine = VoiceEngine::MediaPlayer;

    FunctionMenu *m_menu = nullptr;
    CatalogueView *m_catalogue = nullptr;
    StudyArea *m_area = nullptr;
    KeyCapture *m_Combo4 = nullptr;
    ImportDialog *m_importDialog = nullptr;
    QString m_importedBook; // the lesson imported last
    QString m_importedName;
    ResultsPanel *m_Picture8 = nullptr;
    std::array<QWidget *, 4> m_hoverFrame{};
    QWidget *m_border = nullptr;
};
