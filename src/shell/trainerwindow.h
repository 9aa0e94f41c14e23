#pragma once

#include "lessonloader.h"
#include "study/fontmeasurer.h"
#include "study/fulltextreader.h"
#include "study/sentenceplayback.h"
#include "study/speedchoice.h"
#include "study/studyview.h"
#include "study/trainerstate.h"

#include <QWidget>

class CatalogueView;
class FunctionMenu;
class KeyCapture;
class LessonPanel;
class ShortSoundPlayer;
class StudyArea;
class Ticker;
class VoicePlayer;

// The window's timers. Not owned by the window's code: the program makes QtTickers
// (makeQt, children of the window); tests hand ManualTickers and tick them.
struct WindowTimers {
    Ticker *Timer1 = nullptr;  // sentence-end watch, 30 ms
    Ticker *Timer2 = nullptr;  // repeat pause
    Ticker *Timer3 = nullptr;  // deferred lesson load after a book switch, 10 ms
    Ticker *endShot = nullptr; // ends a sentence between two polls of Timer1

    static WindowTimers makeQt(QObject *parent);
};

// The main window of the trainer: builds the function menu, the catalogue column and the
// study area, binds them to the window state and wires the events to the loader and the
// study code. Positions are twips of the 96-dpi design (11700 x 8325), converted to pixels
// only where widgets are placed.
class TrainerWindow : public QWidget {
    Q_OBJECT
public:
    // All references must outlive the window.
    TrainerWindow(const QString &programDir, VoicePlayer &player, ShortSoundPlayer &sounds,
                  WindowTimers timers, QWidget *parent = nullptr);
    ~TrainerWindow() override;

    // Reads the remembered book, lesson, picker texts and options, fills the catalogue,
    // shows the window and loads the lesson in sentence study.
    void startup();
    // loadlesson for List1's current selection.
    void loadlesson();
    // A function menu item released: sets the study mode and lays the area out for it.
    void menuItemReleased(int item);

    TrainerState &state() { return m_state; }
    LessonLoader &loader() { return m_loader; }
    StudyView &studyView() { return m_view; }
    SentencePlayback &playback() { return m_playback; }
    FullTextReader &reader() { return m_reader; }
    CatalogueView *catalogue() const { return m_catalogue; }
    FunctionMenu *functionMenu() const { return m_menu; }
    StudyArea *studyArea() const { return m_area; }
    LessonPanel *lessonPanel() const;
    KeyCapture *Combo4() const { return m_Combo4; }

    // Replaces the modal message boxes (tests); empty shows them.
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageSink;

    static constexpr int widthTwips = 11700;
    static constexpr int heightTwips = 8325;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wire();
    void applySettings(const QString &record, QString &title, int &lessonIndex);
    void refreshView();
    void refreshPanel();
    void onCommand(int number);
    void onRowPressed(RowHit hit);
    void onRowReleased(RowHit hit, Qt::MouseButton button);
    void focusCombo4();
    void focusTypingBox();
    void messageBox(const QString &text, const QString &title, MessageIcon icon);

    QString m_programDir;
    VoicePlayer &m_player;
    WindowTimers m_timers;
    TrainerState m_state;
    FontMeasurer m_measurer;
    LessonLoader m_loader;
    StudyView m_view;
    SentencePlayback m_playback;
    FullTextReader m_reader;
    SpeedChoice m_speed;
    std::vector<std::optional<QString>> m_settings; // set.dat's fields, read at start-up

    FunctionMenu *m_menu = nullptr;
    CatalogueView *m_catalogue = nullptr;
    StudyArea *m_area = nullptr;
    KeyCapture *m_Combo4 = nullptr;
};
