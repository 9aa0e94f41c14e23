#pragma once

#include "content/dataplaces.h"
#include "content/settingsfile.h"
#include "study/trainercore.h"
#include "text/fontmeasurer.h"

#include <QColor>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <memory>

class MiniSettingsDialog;
class MiniSettingsHost;
class QAction;
class QLabel;
class QMenu;
class QToolButton;
class ShortSoundPlayer;
class VoicePlayer;
class VoiceRecorder;

// mini's window: a thin strip above every other window that shows the current sentence (and,
// if wanted, its Chinese) while the lesson plays sentence by sentence and moves on by itself
// through a range of lessons. It runs the same core as the trainer with the mini profile;
// the trainer's other controls keep their state in the core and are not shown. Its context
// menu and its settings dialog do the rest. Positions are twips of the 96-dpi design.
class MiniWindow : public QWidget {
    Q_OBJECT
public:
    // All references must outlive the window.
    MiniWindow(const DataPlaces &places, VoicePlayer &player, ShortSoundPlayer &sounds,
               VoiceRecorder &recorder, WindowTimers timers, QWidget *parent = nullptr);
    ~MiniWindow() override;

    // The start after the player exists: the window's place and colours, mnset.dat, the
    // pickers, the hints, the lesson list and range, the window shown, the lesson loaded,
    // the recorder prepared, the hints again and the speed menu. Failures are absorbed.
    void startup();
    // loadlesson for the lesson list's current position.
    void loadlesson();

    // The settings dialog's operations: a book chosen (the lesson list reloads, position 0,
    // nothing loaded), a repeat count and a pause chosen (they act at once).
    void fwa(const QString &bookText);
    void setnum(const QString &repeatText);
    void settime(const QString &pauseText);

    // The context menu's commands.
    void togglePause(); // "暂停" / "继续"
    // The learner paused the strip (the item reads "继续").
    bool pausedByLearner() const;
    void toggleChinese(); // "中文(&C)"
    void changeFontSize(int points);
    void nextLesson(); // Command22

    // The values mnset.dat records now.
    MiniSettings liveSettings() const;
    bool unloaded() const { return m_unloaded; }

    TrainerCore &core() { return m_core; }
    const DataPlaces &places() const { return m_places; }
    QMenu *contextMenu() const { return m_menu; }
    QAction *action(const QString &caption) const;
    QLabel *englishLine() const { return m_english; }
    QLabel *chineseLine() const { return m_chinese; }

    QString bookText() const { return m_bookText; }
    QString lessonListBuffer() const { return m_listBuffer; }
    const QStringList &lessons() const { return m_lessons; }
    int lessonPosition() const { return m_position; }
    void setLessonPosition(int position);
    int HN = 0;        // the start lesson of the range
    QString endLesson; // the end-lesson box
    QColor background() const { return m_background; }
    QColor textColour() const { return m_textColour; }
    void setColours(const QColor &background, const QColor &text);
    void setBookText(const QString &bookText) { m_bookText = bookText; }

    // Replaces the message boxes (tests); empty shows them.
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageSink;
    // "选择课程(&S)": the settings dialog, beside the strip, not blocking it.
    void openSettings();
    MiniSettingsDialog *settingsDialog() const { return m_dialog; }
    // 确定 of the dialog: the book, the start lesson loaded (and once more 10 ms later),
    // the range, the colours.
    void applySettings(const QString &bookText, int startPosition, const QString &endLesson,
                       const QColor &background, const QColor &textColour);

    static constexpr int startWidthTwips = 17325;
    static constexpr int startHeightTwips = 1110;

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    void wire();
    void unload();
    void onRepeatsFinished();
    bool currentPlayable();
    void passOverUnplayable();
    void syncPauseCaption();
    void readLessonList();
    void applyHints();
    void refresh();
    void layoutStrip();
    void messageBox(const QString &text, const QString &title, MessageIcon icon);

    DataPlaces m_places;
    VoicePlayer &m_player;
    WindowTimers m_timers;
    FontMeasurer m_measurer;
    TrainerCore m_core;
    MiniSettingsFields m_fields; // what mnset.dat gave, read once at start-up
    bool m_unloaded = false;

    QString m_bookText = initialBookTitle();
    QString m_notice;      // said on the strip in place of the sentence, until the next load
    int m_chineseLeft = 0; // twips: its own place, the English line's after a font step
    QString m_listBuffer;
    QStringList m_lessons;
    int m_position = -1;
    QColor m_background;
    QColor m_textColour = Qt::black;
    double m_englishPoints = 14.25;
    double m_chinesePoints = 10.5;
    QPoint m_dragOrigin;

    QLabel *m_title = nullptr;
    QLabel *m_english = nullptr;
    QLabel *m_chinese = nullptr;
    QToolButton *m_Command22 = nullptr;
    QMenu *m_menu = nullptr;
    QMenu *m_speedMenu = nullptr;
    QAction *m_AR2 = nullptr;  // 上一句(&B)
    QAction *m_AR3 = nullptr;  // 下一句(&N)
    QAction *m_AR10 = nullptr; // 暂停 / 继续
    QAction *m_chineseAction = nullptr;
    QAction *m_normalPlay = nullptr;
    QAction *m_slowPlay = nullptr;
    std::unique_ptr<MiniSettingsHost> m_host;
    MiniSettingsDialog *m_dialog = nullptr;
};
