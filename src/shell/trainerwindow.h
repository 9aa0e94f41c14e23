#pragma once

#include "lessonloader.h"
#include "study/fontmeasurer.h"
#include "study/trainerstate.h"

#include <QWidget>

class LessonPanel;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class VoicePlayer;

// The main window of the trainer: builds the panels, binds them to the window state and
// wires the events to the loader and the study code. Positions are twips of the 96-dpi
// design (11700 x 8325), converted to pixels only where widgets are placed.
class TrainerWindow : public QWidget {
    Q_OBJECT
public:
    TrainerWindow(const QString &programDir, VoicePlayer &player, QWidget *parent = nullptr);
    ~TrainerWindow() override;

    // Reads the remembered book and lesson, fills the selectors and the lesson list, shows
    // the window and loads the lesson.
    void startup();

    TrainerState &state() { return m_state; }
    LessonLoader &loader() { return m_loader; }
    LessonPanel *lessonPanel() const { return m_panel; }
    QComboBox *Combo1() const { return m_Combo1; }
    QListWidget *List1() const { return m_List1; }

    // loadlesson for List1's current selection.
    void loadlesson();

    static constexpr int widthTwips = 11700;
    static constexpr int heightTwips = 8325;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void fillLessonList(const QString &bookTitle);
    void showLessonState();
    void messageBox(const QString &text);
    void place(QWidget *w, int left, int top, int width, int height);

    QString m_programDir;
    VoicePlayer &m_player;
    TrainerState m_state;
    FontMeasurer m_measurer;
    LessonLoader m_loader;

    QComboBox *m_Combo1 = nullptr;
    QListWidget *m_List1 = nullptr;
    QLabel *m_Label37 = nullptr;
    QLabel *m_Label7_20 = nullptr;
    QLabel *m_bookCaption = nullptr;
    QLabel *m_lessonCaption = nullptr;
    LessonPanel *m_panel = nullptr;
};
