#include "miniwindow.h"

#include "audio/ticker.h"
#include "audio/voicebackend.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "content/caretlist.h"
#include "content/catalogue.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "minisettingsdialog.h"
#include "minisettingshost.h"
#include "study/pure/lessonrange.h"
#include "text/fonts.h"
#include "widgets/twips.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

QColor fromBgr(int bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int toBgr(const QColor &colour) {
    return bgrColour(colour.red(), colour.green(), colour.blue());
}

// The title, the English line at left 165 and the Chinese line at left 180 (twips).
constexpr int titleLeft = 315, titleTop = 90;
constexpr int englishLeft = 165, englishTopWithChinese = 405, englishTopAlone = 450;
constexpr int chineseLeft = 180, chineseTop = 735;
constexpr int stripLeft = 90, stripTop = 60;
// Room right of the wider sentence line, where the next-lesson button sits.
constexpr int rightRoom = 600;
constexpr int narrowestTwips = 4500;
constexpr int titleBadgePadding = 4; // pixels either side of the title text

int twipsOf(int pixels) {
    return pixels * Twips::perPixel;
}

// The window as the settings dialog sees it.
class WindowHost : public MiniSettingsHost {
public:
    explicit WindowHost(MiniWindow &window) : m_window(window) {}
    QString bookText() const override { return m_window.bookText(); }
    QStringList bookChoices() const override {
        // The dialog's own entry first, then every book that has lessons here.
        QStringList titles{QStringLiteral("新概念英语第一册")};
        for (const QString &title : bookSelectorTitles(Program::Orvessa, m_window.places())) {
            if (!titles.contains(title) && isBookInstalled(title))
                titles << title;
        }
        return titles;
    }
    bool isBookInstalled(const QString &title) const override {
        return ::isBookInstalled(m_window.places(), title);
    }
    QString lessonListBuffer() const override { return m_window.lessonListBuffer(); }
    int HN() const override { return m_window.HN; }
    QString endLessonText() const override { return m_window.endLesson; }
    QString repeatText() const override { return m_window.core().state().playback.Combo2Text; }
    QString pauseText() const override { return m_window.core().state().playback.Combo3Text; }
    QColor background() const override { return m_window.background(); }
    QColor textColour() const override { return m_window.textColour(); }
    void fwa(const QString &bookText) override { m_window.fwa(bookText); }
    void setnum(const QString &repeatText) override { m_window.setnum(repeatText); }
    void settime(const QString &pauseText) override { m_window.settime(pauseText); }
    void applyOk(const QString &bookText, int startPosition, const QString &endLesson,
                 const QColor &background, const QColor &textColour) override {
        m_window.applySettings(bookText, startPosition, endLesson, background, textColour);
    }

private:
    MiniWindow &m_window;
};

} // namespace

MiniWindow::MiniWindow(const DataPlaces &places, VoicePlayer &player, ShortSoundPlayer &sounds,
                       VoiceRecorder &recorder, WindowTimers timers, QWidget *parent)
    : QWidget(parent), m_places(places), m_player(player), m_timers(timers),
      m_core(Program::Mini, places, m_measurer, player, sounds, recorder,
             PlaybackTimers{timers.Timer1, timers.Timer2, timers.endShot}, timers.recordLimit),
      m_background(fromBgr(miniInitialBackground)), m_host(std::make_unique<WindowHost>(*this)) {
    setObjectName(QStringLiteral("MiniWindow"));
    setWindowTitle(QStringLiteral("Orvessa 迷你模式"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    m_chineseLeft = chineseLeft;
    resize(startWidthTwips / Twips::perPixel, startHeightTwips / Twips::perPixel);

    m_title = new QLabel(QStringLiteral("Orvessa"), this);
    m_title->setObjectName(QStringLiteral("MiniTitle"));
    QFont title = labelFont();
    title.setPointSizeF(9);
    title.setBold(true);
    m_title->setFont(title);
    // White on a dark translucent badge (the title image), readable on any background colour.
    m_title->setStyleSheet(
        QStringLiteral(
            "color: white; background: rgba(0, 0, 0, 0.28); border-radius: 3px; padding: 0 %1px;")
            .arg(titleBadgePadding));
    m_title->adjustSize();
    m_title->move(titleLeft / Twips::perPixel - titleBadgePadding, titleTop / Twips::perPixel);
    m_title->setCursor(Qt::SizeAllCursor);
    m_title->installEventFilter(this);

    m_english = new QLabel(this);
    m_english->setObjectName(QStringLiteral("Label1"));
    m_chinese = new QLabel(this);
    m_chinese->setObjectName(QStringLiteral("Label2"));
    for (QLabel *line : {m_english, m_chinese}) {
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        line->setTextFormat(Qt::PlainText);
    }

    m_Command22 = new QToolButton(this);
    m_Command22->setObjectName(QStringLiteral("Command22"));
    m_Command22->setText(QStringLiteral("›"));
    m_Command22->setToolTip(QStringLiteral("下一课"));
    m_Command22->setAccessibleName(QStringLiteral("下一课"));
    m_Command22->setAutoRaise(true);
    m_Command22->setCursor(Qt::PointingHandCursor);
    m_Command22->setStyleSheet(
        QStringLiteral("QToolButton { color: white; font-size: 16px; border: none; padding: 0 6px;"
                       " background: rgba(0, 0, 0, 0.28); border-radius: 4px; }"
                       "QToolButton:hover { background: rgba(0, 0, 0, 0.45); }"));
    connect(m_Command22, &QToolButton::clicked, this, &MiniWindow::nextLesson);

    buildMenu();
    wire();
    setColours(m_background, m_textColour);
    layoutStrip();
}

MiniWindow::~MiniWindow() = default;

void MiniWindow::buildMenu() {
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("MiniMenu"));
    StudyView &view = m_core.view();
    m_AR2 = m_menu->addAction(QStringLiteral("上一句(&B)"), this,
                              [this, &view] { view.previousSentence(); });
    m_AR3 = m_menu->addAction(QStringLiteral("下一句(&N)"), this,
                              [this, &view] { view.nextSentence(); });
    m_menu->addAction(QStringLiteral("朗读(&R)"), this, [this] { m_core.playback().onCommand4(); });
    m_speedMenu = m_menu->addMenu(QStringLiteral("播放速度"));
    m_normalPlay = m_speedMenu->addAction(QStringLiteral("常速"), this,
                                          [this] { m_core.speed().onMenuSpeedChosen(true); });
    m_slowPlay = m_speedMenu->addAction(QStringLiteral("慢速"), this,
                                        [this] { m_core.speed().onMenuSpeedChosen(false); });
    // One tick, on the speed in force.
    auto *speeds = new QActionGroup(m_speedMenu);
    speeds->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *speed : {m_normalPlay, m_slowPlay}) {
        speed->setCheckable(true);
        speeds->addAction(speed);
    }
    m_normalPlay->setChecked(true);
    m_AR10 = m_menu->addAction(QStringLiteral("暂停"), this, &MiniWindow::togglePause);
    m_menu->addSeparator();
    m_chineseAction =
        m_menu->addAction(QStringLiteral("中文(&C)"), this, &MiniWindow::toggleChinese);
    m_chineseAction->setCheckable(true);
    m_menu->addAction(QStringLiteral("选择课程(&S)"), this, &MiniWindow::openSettings);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("放大字体"), this, [this] { changeFontSize(3); });
    m_menu->addAction(QStringLiteral("缩小字体"), this, [this] { changeFontSize(-3); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("退出(&E)"), this, &QWidget::close);
    connect(m_menu, &QMenu::aboutToShow, this, &MiniWindow::syncPauseCaption);
}

void MiniWindow::wire() {
    CoreSurface &surface = m_core.surface();
    surface.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
        messageBox(text, title, icon);
    };
    surface.controlsChanged = [this] { refresh(); };
    connect(&m_core.loader(), &LessonLoader::lessonLoaded, this, &MiniWindow::refresh);
    connect(&m_core.view(), &StudyView::viewChanged, this, &MiniWindow::refresh);
    connect(&m_core.playback(), &SentencePlayback::repeatsFinished, this,
            &MiniWindow::onRepeatsFinished);
    // The one-shot reload after a lesson chosen in the settings dialog.
    connect(m_timers.Timer3, &Ticker::timeout, this, [this] {
        m_timers.Timer3->stop();
        loadlesson();
        passOverUnplayable();
    });
    // The desktop ending the program closes the window the normal way, which saves.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &MiniWindow::unload);
}

void MiniWindow::startup() {
    TrainerState &s = m_core.state();
    // 2. Background, top-most (a window flag), place.
    setColours(fromBgr(miniInitialBackground), m_textColour);
    move(stripLeft / Twips::perPixel, stripTop / Twips::perPixel);
    // 4. Settings.
    m_fields = parseMiniSettings(readSettingsFile(m_places.readPath(ContentFile::settings(true))));
    s.studyMode = 1; // 5
    // 6. The single title; the selector's text from field 10.
    m_bookText = m_fields.bookTitle.value_or(m_bookText);
    // 7. Colours.
    setColours(m_fields.background ? fromBgr(*m_fields.background) : m_background,
               m_fields.textColour ? fromBgr(*m_fields.textColour) : m_textColour);
    // 8. Pickers and the pause timer.
    PlaybackState &pb = s.playback;
    pb.repeatCount = 0;
    m_timers.Timer2->setInterval(SentencePlayback::pauseInterval(pb.Combo3Text));
    applyHints(); // 9
    // 10. The texts each mode keeps; without a record, those of the shipped one (one play, no
    // pause), as empty texts would read as no play at all and the strip would stop.
    pb.studyRepeats = m_fields.studyRepeats.value_or(QStringLiteral("1"));
    pb.studyPause = m_fields.studyPause.value_or(QStringLiteral("0"));
    pb.browseRepeats = m_fields.browseRepeats.value_or(QStringLiteral("1"));
    pb.browsePause = m_fields.browsePause.value_or(QStringLiteral("0"));
    readLessonList(); // 12
    // 13. The list's place and the range.
    setLessonPosition(m_fields.lessonIndex.value_or(-1));
    HN = m_fields.HN.value_or(HN);
    endLesson = m_fields.endLesson.value_or(endLesson);
    show(); // 14
    loadlesson();
    m_core.followRead().prepare();
    passOverUnplayable();
    applyHints(); // 15
    // 16. Normal speed; no speed menu without the media player.
    m_slowPlay->setChecked(false);
    m_normalPlay->setChecked(true);
    m_speedMenu->menuAction()->setVisible(m_player.playerKind != 1);
    refresh();
}

// The two hint check boxes from fields 2 and 3, with what they show.
void MiniWindow::applyHints() {
    const std::pair<int, std::optional<int>> hints[] = {{1, m_fields.englishHint},
                                                        {2, m_fields.chineseHint}};
    for (const auto &[check, value] : hints) {
        if (value)
            m_core.view().setCheckValue(check, *value);
    }
    refresh();
}

void MiniWindow::readLessonList() {
    m_listBuffer = readDataFile(m_places.readPath(ContentFile::bookList(m_bookText)));
    m_lessons = splitCaretList(m_listBuffer);
    m_position = m_lessons.isEmpty() ? -1 : std::clamp(m_position, -1, int(m_lessons.size()) - 1);
}

void MiniWindow::setLessonPosition(int position) {
    m_position = position >= 0 && position < m_lessons.size() ? position : -1;
}

void MiniWindow::loadlesson() {
    m_notice.clear();
    LessonSelection selection;
    selection.places = m_places;
    selection.bookTitle = m_bookText;
    selection.listIndex = m_position;
    selection.lessonName = m_position >= 0 ? m_lessons.at(m_position) : QString();
    m_player.bookTitle = m_bookText;
    m_core.loader().loadlesson(selection);
}

// The strip plays on by itself: the next sentence, else the next lesson of the range.
// Sentences without times and lessons without sentences are passed over; a whole round of
// the range with nothing to play is said once on the strip, which then waits for a choice.
// The move plays the sentence when the repeat count is above 0. With 0 the strip steps on
// and waits: the learner plays each sentence with 朗读, as in the trainer.
void MiniWindow::onRepeatsFinished() {
    const int count = int(m_lessons.size());
    for (int lessonsTried = 0;;) {
        TrainerState &s = m_core.state();
        if (s.Command1.enabled) {
            m_core.view().nextSentence();
        } else if (count == 0 || ++lessonsTried > count + 1) {
            m_notice = QStringLiteral("所选课文都没有可播放的句子，请右键单击此处选择其他课程");
            m_core.playback().stopPlayback();
            refresh();
            return;
        } else if (m_player.bookTitle != m_bookText) {
            // A lesson of a book switched away from in the dialog ends: the new book's range
            // starts.
            setLessonPosition(std::clamp(HN, 0, count - 1));
            loadlesson();
        } else {
            setLessonPosition(
                nextInLessonRange(m_position, count, m_lessons.value(m_position), endLesson, HN)
                    .position);
            loadlesson();
        }
        if (currentPlayable())
            return;
    }
}

// The current sentence has times to play (a lesson without sentences has none).
bool MiniWindow::currentPlayable() {
    const TrainerState &s = m_core.state();
    return s.sentenceCount > 0 && m_core.playback().hasTimes(s.currentSentence);
}

// After a load the strip passes over what cannot play, as the advance does.
void MiniWindow::passOverUnplayable() {
    if (!m_lessons.isEmpty() && m_position >= 0 && !currentPlayable())
        onRepeatsFinished();
}

void MiniWindow::nextLesson() {
    if (m_lessons.isEmpty())
        return;
    // Past the last lesson it starts again with the first.
    setLessonPosition(m_position + 1 < m_lessons.size() ? m_position + 1 : 0);
    loadlesson();
    passOverUnplayable();
}

// The pause item reads "继续" only while the learner holds the strip: a sentence started
// since (a new lesson, 朗读, a key) puts it back to "暂停".
void MiniWindow::syncPauseCaption() {
    if (m_player.backend().isPlaying())
        m_AR10->setText(QStringLiteral("暂停"));
}

void MiniWindow::togglePause() {
    syncPauseCaption();
    if (m_AR10->text() != QStringLiteral("暂停")) {
        m_AR10->setText(QStringLiteral("暂停"));
        m_timers.Timer1->start();
        m_timers.Timer2->stop();
        m_player.VoicePlay();
    } else {
        m_AR10->setText(QStringLiteral("继续"));
        m_timers.Timer1->stop();
        m_player.VoicePause();
    }
}

bool MiniWindow::pausedByLearner() const {
    return m_AR10->text() != QStringLiteral("暂停") && !m_player.backend().isPlaying();
}

void MiniWindow::toggleChinese() {
    m_core.view().setCheckValue(2, m_core.state().view.Check2.value == 1 ? 0 : 1);
    refresh();
}

void MiniWindow::changeFontSize(int points) {
    // Below 1 point a line cannot be read, nor set back by the other item: it stops there.
    m_englishPoints = std::max(1.0, m_englishPoints + points);
    m_chinesePoints = std::max(1.0, m_chinesePoints + points);
    m_chineseLeft = englishLeft; // the two lines start at one edge from the first step on
    m_core.view().ty();
    refresh();
}

void MiniWindow::fwa(const QString &bookText) {
    m_bookText = bookText;
    readLessonList();
    setLessonPosition(m_lessons.isEmpty() ? -1 : 0);
    // The switch is a choice that has acted: the range becomes the whole new book at once,
    // so that a range of the old book never runs on (and is never saved) against this one.
    HN = 0;
    endLesson = m_lessons.isEmpty() ? QString() : m_lessons.constLast();
}

void MiniWindow::openSettings() {
    if (!m_dialog) {
        m_dialog = new MiniSettingsDialog(*m_host, this);
        // Under the strip, which it must not cover.
        m_dialog->move(frameGeometry().bottomLeft() + QPoint(0, 8));
    }
    m_dialog->open();
}

void MiniWindow::applySettings(const QString &bookText, int startPosition,
                               const QString &endLessonText, const QColor &background,
                               const QColor &textColour) {
    m_bookText = bookText;
    setLessonPosition(startPosition);
    loadlesson();
    m_timers.Timer3->start(); // the one-shot reload
    endLesson = endLessonText;
    HN = startPosition;
    setColours(background, textColour);
    passOverUnplayable();
}

void MiniWindow::setnum(const QString &repeatText) {
    m_core.playback().setRepeatText(repeatText);
}

void MiniWindow::settime(const QString &pauseText) {
    m_core.playback().setPauseText(pauseText);
}

void MiniWindow::setColours(const QColor &background, const QColor &text) {
    m_background = background;
    m_textColour = text;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
    for (QLabel *line : {m_english, m_chinese}) {
        QPalette linePal = line->palette();
        linePal.setColor(QPalette::WindowText, text);
        line->setPalette(linePal);
    }
}

// The sentence lines as the core's view holds them; width follows the wider line, height
// the Chinese line.
void MiniWindow::refresh() {
    const StudyViewState &v = m_core.state().view;
    // Before any lesson (no settings yet, or a book without lessons) the strip says what to do.
    const bool noSentence = m_core.state().sentenceCount == 0;
    m_english->setText(!m_notice.isEmpty() ? m_notice
                       : noSentence        ? QStringLiteral("右键单击此处，选择课程")
                                           : v.Label1.text);
    m_chinese->setText(v.Label2.text);
    m_english->setToolTip(v.sentenceToolTip);
    m_chinese->setToolTip(v.sentenceToolTip);
    // The view decides (the F9 hint shows a hidden line); what to do next always shows.
    m_english->setVisible(v.Label1.visible || noSentence || !m_notice.isEmpty());
    const bool chinese = v.Check2.value == 1;
    m_chinese->setVisible(chinese);
    m_chineseAction->setChecked(chinese);
    m_AR2->setEnabled(m_core.state().AR2.enabled);
    m_AR3->setEnabled(m_core.state().AR3.enabled);
    const bool slow = m_core.state().playback.rate < 1.0;
    m_slowPlay->setChecked(slow);
    m_normalPlay->setChecked(!slow);
    syncPauseCaption();
    layoutStrip();
}

void MiniWindow::layoutStrip() {
    QFont english = englishLineFont();
    english.setPointSizeF(m_englishPoints);
    m_english->setFont(english);
    QFont chinese = chineseLineFont();
    chinese.setPointSizeF(m_chinesePoints);
    m_chinese->setFont(chinese);
    m_english->adjustSize();
    m_chinese->adjustSize();
    const bool withChinese = m_core.state().view.Check2.value == 1;
    const int englishTop = withChinese ? englishTopWithChinese : englishTopAlone;
    m_english->move(englishLeft / Twips::perPixel, englishTop / Twips::perPixel);
    // Larger type pushes the Chinese line down rather than under the English one.
    const int chineseAt = std::max(chineseTop, englishTop + twipsOf(m_english->height()));
    m_chinese->move(m_chineseLeft / Twips::perPixel, chineseAt / Twips::perPixel);
    const int height = withChinese ? chineseAt + twipsOf(m_chinese->height()) + 110
                                   : englishTop + twipsOf(m_english->height()) + 130;
    const int widest = std::max(englishLeft + twipsOf(m_english->width()),
                                m_chineseLeft + twipsOf(m_chinese->width()));
    const int width = std::max(narrowestTwips, widest + rightRoom);
    setFixedSize(width / Twips::perPixel, height / Twips::perPixel);
    m_Command22->adjustSize();
    m_Command22->move(this->width() - m_Command22->width() - 6, 4);
}

MiniSettings MiniWindow::liveSettings() const {
    MiniSettings live;
    const TrainerState &s = m_core.state();
    live.lessonIndex = m_position;
    live.englishHint = s.view.Check1.value;
    live.chineseHint = s.view.Check2.value;
    live.studyRepeats = s.playback.studyRepeats;
    live.studyPause = s.playback.studyPause;
    live.browseRepeats = s.playback.browseRepeats;
    live.browsePause = s.playback.browsePause;
    live.endLesson = endLesson;
    live.HN = HN;
    live.bookTitle = m_bookText;
    live.background = toBgr(m_background);
    live.textColour = toBgr(m_textColour);
    return live;
}

QAction *MiniWindow::action(const QString &caption) const {
    const QList<QAction *> all = m_menu->findChildren<QAction *>();
    for (QAction *a : all) {
        if (a->text() == caption)
            return a;
    }
    return nullptr;
}

void MiniWindow::closeEvent(QCloseEvent *event) {
    unload();
    QWidget::closeEvent(event);
}

void MiniWindow::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_timers.Timer3->stop();
    m_core.unload(miniSettingsRecord(liveSettings()));
}

// Any press on the strip outside the title opens the menu.
void MiniWindow::mousePressEvent(QMouseEvent *event) {
    m_dragOrigin = {};
    m_menu->popup(event->globalPosition().toPoint());
}

// Page Up/Down, F1, F8 (play) and F9 (hint) while the strip has the focus.
void MiniWindow::keyPressEvent(QKeyEvent *event) {
    if (!m_core.view().keyPressed(event->key()))
        QWidget::keyPressEvent(event);
}

// Dragging by the title moves the strip.
bool MiniWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_title) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton)
                m_dragOrigin = mouse->position().toPoint();
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->buttons() & Qt::LeftButton)
                move(pos() + mouse->position().toPoint() - m_dragOrigin);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MiniWindow::messageBox(const QString &text, const QString &title, MessageIcon icon) {
    if (messageSink) {
        messageSink(text, title, icon);
        return;
    }
    QMessageBox box(
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
        title.isEmpty() ? QStringLiteral("Orvessa") : title, text, QMessageBox::Ok, this);
    box.exec();
}
