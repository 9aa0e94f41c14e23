#pragma once

#include <QPoint>
#include <QWidget>

class ColourPalette;
class ColourSwatch;
class MiniSettingsHost;
class QAbstractButton;
class QComboBox;
class QGroupBox;
class QPushButton;

// mini's settings (设置): how each sentence plays, the book and lesson range, and the two
// colours. Shown beside the window without blocking it. Book, repeat and pause choices act on
// the window at once; 确定 hands the range and the colours over in one call, 取消 and the close
// button only close. Every opening reads everything afresh from the window.
class MiniSettingsDialog : public QWidget {
    Q_OBJECT
public:
    // What a click on a colour swatch opens the palette for.
    enum class PaletteTarget { None = 0, Background = 1, Text = 2 };

    explicit MiniSettingsDialog(MiniSettingsHost &host, QWidget *parent = nullptr);

    // Reloads every control from the window and shows the dialog (or raises it).
    void open();

    QComboBox *repeatList() const { return m_repeat; }
    QComboBox *pauseList() const { return m_pause; }
    QComboBox *bookList() const { return m_book; }
    QComboBox *startLessonList() const { return m_startLesson; }
    QComboBox *endLessonList() const { return m_endLesson; }
    ColourSwatch *textSwatch() const { return m_textSwatch; }
    ColourSwatch *backgroundSwatch() const { return m_backgroundSwatch; }
    ColourPalette *colourPalette() const { return m_palette; }
    PaletteTarget paletteTarget() const { return m_target; }
    QGroupBox *playGroup() const { return m_playGroup; }
    QGroupBox *courseGroup() const { return m_courseGroup; }
    QGroupBox *appearanceGroup() const { return m_appearanceGroup; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }
    QAbstractButton *closeButton() const { return m_close; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void reload();
    void fillLessons();
    void bookChosen();
    void startLessonChosen(int index);
    void endLessonChosen(int index);
    void openPalette(PaletteTarget target, ColourSwatch *swatch);
    void colourPicked(int index);
    void hidePalette();
    void accept();

    MiniSettingsHost &m_host;
    QComboBox *m_repeat = nullptr;
    QComboBox *m_pause = nullptr;
    QComboBox *m_book = nullptr;
    QComboBox *m_startLesson = nullptr;
    QComboBox *m_endLesson = nullptr;
    ColourSwatch *m_textSwatch = nullptr;
    ColourSwatch *m_backgroundSwatch = nullptr;
    ColourPalette *m_palette = nullptr;
    QGroupBox *m_playGroup = nullptr;
    QGroupBox *m_courseGroup = nullptr;
    QGroupBox *m_appearanceGroup = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QAbstractButton *m_close = nullptr;
    PaletteTarget m_target = PaletteTarget::None;
    QPoint m_dragOrigin; // global position of the last drag step
    bool m_dragging = false;
};
