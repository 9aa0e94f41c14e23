#include "studyarea.h"

#include "content/settingsfile.h"
#include "sentencemarks.h"
#include "sentencetimingbar.h"
#include "speech/feedbackjudge.h"
#include "study/pure/dictationscore.h"
#include "study/trainerstate.h"
#include "text/fonts.h"
#include "widgets/inputlevelmeter.h"
#include "widgets/lessonpanel.h"
#include "widgets/palette.h"
#include "widgets/picturelabel.h"
#include "widgets/pitchcontourview.h"
#include "widgets/textbutton.h"
#include "widgets/twips.h"
#include "widgets/voicewaveview.h"

#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace {

// The single-sentence view's content column inside its outline.
constexpr int contentLeft = 2835;
constexpr int contentWidth = 8475;

// The dictation panel's rows inside the single-sentence view.
constexpr int buttonTop = 4830;
constexpr int counterTop = 5520;
constexpr int counterHeight = 420;
constexpr int progressTrackLeft = 7560;

// The lesson panel's viewport, which every page of the area lines up with.
constexpr int panelLeft = 2685;
constexpr int panelTop = 1455;
constexpr int panelWidth = 8775;
constexpr int panelHeight = 5818;

constexpr int markedLineWidth = 8000; // twips: the follow-read page's sentence width

const QString cardStyle =
    QStringLiteral("QFrame { background: white; border: 1px solid #DCE3EB; border-radius: 10px; }");

void setShown(QWidget *w, bool shown) {
    if (w->isVisibleTo(w->parentWidget()) != shown)
        w->setVisible(shown);
}

void setText(QLabel *label, const QString &text) {
    if (label->text() != text)
        label->setText(text);
}

void setComboText(QComboBox *combo, const QString &text) {
    if (combo->currentText() == text)
        return;
    // A text that is no item (the empty text of a mode never picked) shows as empty.
    combo->setCurrentIndex(combo->findText(text));
}

} // namespace

StudyArea::StudyArea(const QString &programDir, QWidget *parent)
    : QWidget(parent), m_programDir(programDir) {
    setObjectName(QStringLiteral("StudyArea"));
    Twips::place(this, leftTwips, topTwips, 11700 - leftTwips, 8325 - topTwips);
    buildHeading();
    buildSentenceView();
    buildModeControls();
    buildPages();
    buildDictation();
}

void StudyArea::place(QWidget *w, int left, int top, int width, int height) {
    Twips::place(w, left, top, width, height, leftTwips, topTwips);
}

QLabel *StudyArea::label(const QString &text, int pixelSize, const QString &colour) {
    auto *l = new QLabel(text, this);
    QFont font = labelFont();
    font.setPixelSize(pixelSize);
    l->setFont(font);
    l->setStyleSheet(
        QStringLiteral("color: %1; background: transparent; border: none;").arg(colour));
    return l;
}

QPushButton *StudyArea::button(int number, const QString &caption) {
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QStringLiteral("Command%1").arg(number));
    b->setCursor(Qt::PointingHandCursor);
    // Clicks hand the focus on themselves (Combo4 or the typing box); a button keeps none.
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, number] { Q_EMIT commandClicked(number); });
    m_commands[size_t(number)] = b;
    return b;
}

QPixmap StudyArea::picture(const QString &path) {
    if (auto it = m_pictures.constFind(path); it != m_pictures.constEnd())
        return *it;
    // Pictures are skin files of the program directory; a missing one stays empty.
    QPixmap pixmap;
    if (!path.contains(QStringLiteral("..")))
        pixmap.load(m_programDir + u'/' + path);
    m_pictures.insert(path, pixmap);
    return pixmap;
}

void StudyArea::buildHeading() {
    m_Label37 = label(QString(), 16, QStringLiteral("#22303C"));
    m_Label37->setObjectName(QStringLiteral("Label37"));
    QFont font = m_Label37->font();
    font.setBold(true);
    m_Label37->setFont(font);
    place(m_Label37, panelLeft, 1065, 7000, 360);

    m_Label7_12 = label(QString(), 12, QStringLiteral("#1F62C4"));
    m_Label7_12->setObjectName(QStringLiteral("Label7_12"));
    m_Label7_12->setAlignment(Qt::AlignCenter);
    m_Label7_12->setStyleSheet(
        QStringLiteral("color: #1F62C4; background: #E8F1FD; border: none; border-radius: 10px;"));
    place(m_Label7_12, 10110, 1080, 1350, 315);
}

void StudyArea::buildSentenceView() {
    m_Shape3 = new QFrame(this);
    m_Shape3->setObjectName(QStringLiteral("Shape3"));
    m_Shape3->setStyleSheet(cardStyle);
    place(m_Shape3, panelLeft, panelTop, panelWidth, panelHeight);

    m_Label7_5 = label(QString(), 12, QStringLiteral("#7B8794"));
    m_Label7_5->setObjectName(QStringLiteral("Label7_5"));
    m_Label7_5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(m_Label7_5, 9660, 1635, 1650, 300);

    m_note = label(QString(), 15, QStringLiteral("#7B8794"));
    m_note->setObjectName(QStringLiteral("SentenceNote"));
    m_note->setAlignment(Qt::AlignCenter);
    place(m_note, contentLeft, 2055, contentWidth, 1020);

    QFont english = englishLineFont();
    m_Label1 = label(QString(), 19, QStringLiteral("#1E2A36"));
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->setFont(english);
    m_Label1->setWordWrap(true);
    m_Label1->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    place(m_Label1, contentLeft, 1980, contentWidth, 1080);

    m_Label51 = label(QString(), 19, QStringLiteral("#56636F"));
    m_Label51->setObjectName(QStringLiteral("Label51"));
    english.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    m_Label51->setFont(english);
    m_Label51->setWordWrap(true);
    m_Label51->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    place(m_Label51, contentLeft, 1980, contentWidth, 1080);

    m_Label2 = label(QString(), 15, QStringLiteral("#4A5664"));
    m_Label2->setObjectName(QStringLiteral("Label2"));
    QFont chinese = chineseLineFont();
    chinese.setPixelSize(15);
    m_Label2->setFont(chinese);
    m_Label2->setWordWrap(true);
    m_Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(m_Label2, contentLeft, 3165, contentWidth, 540);

    m_prompt = label(QStringLiteral("请在此拼写，按回车键检查："), 12, QStringLiteral("#7B8794"));
    place(m_prompt, contentLeft, 3780, contentWidth, 300);

    m_Text2 = new QLineEdit(this);
    m_Text2->setObjectName(QStringLiteral("Text2"));
    QFont typing = englishLineFont();
    typing.setPixelSize(17);
    m_Text2->setFont(typing);
    place(m_Text2, contentLeft, 4080, contentWidth, 495);

    button(3, QStringLiteral("首句"));
    button(2, QStringLiteral("上一句"));
    button(4, QStringLiteral("朗读"))->setProperty("accent", true);
    button(1, QStringLiteral("下一句"));
    button(5, QStringLiteral("提示(&H)"));
    place(m_commands[3], contentLeft, buttonTop, 1050, 450);
    place(m_commands[2], contentLeft + 1155, buttonTop, 1050, 450);
    place(m_commands[4], contentLeft + 2310, buttonTop, 1050, 450);
    place(m_commands[1], contentLeft + 3465, buttonTop, 1050, 450);
    place(m_commands[5], contentLeft + 4620, buttonTop, 1200, 450);

    m_shortcuts =
        label(QStringLiteral("快捷键：PgUp 上一句　PgDn 下一句　F1 首句　F7 朗读　F8 提示"), 12,
              QStringLiteral("#8A96A3"));
    m_shortcuts->setObjectName(QStringLiteral("ShortcutLine"));
    place(m_shortcuts, panelLeft, 7440, panelWidth, 345);

    // Repeat count "每句朗读" N "次" and pause "间隔" N "秒".
    const int pickerTop = 5610;
    m_pickers = new QWidget(this);
    m_pickers->setObjectName(QStringLiteral("Pickers"));
    place(m_pickers, contentLeft, pickerTop, 4200, 420);
    const auto pickerPart = [this](QWidget *w, int left, int width) {
        w->setParent(m_pickers);
        Twips::place(w, left, 0, width, 420, contentLeft, 0);
    };
    QLabel *repeatCaption = label(QStringLiteral("每句朗读"), 13, QStringLiteral("#34404C"));
    pickerPart(repeatCaption, contentLeft, 870);
    m_Combo2 = new QComboBox(m_pickers);
    m_Combo2->setObjectName(QStringLiteral("Combo2"));
    m_Combo2->addItems(repeatCountChoices());
    pickerPart(m_Combo2, contentLeft + 870, 810);
    pickerPart(label(QStringLiteral("次"), 13, QStringLiteral("#34404C")), contentLeft + 1755, 300);
    QLabel *pauseCaption = label(QStringLiteral("间隔"), 13, QStringLiteral("#34404C"));
    pickerPart(pauseCaption, contentLeft + 2250, 480);
    m_Combo3 = new QComboBox(m_pickers);
    m_Combo3->setObjectName(QStringLiteral("Combo3"));
    m_Combo3->addItems(pauseChoices());
    pickerPart(m_Combo3, contentLeft + 2730, 810);
    pickerPart(label(QStringLiteral("秒"), 13, QStringLiteral("#34404C")), contentLeft + 3615, 300);
    // A screen reader says a combo box's caption from the label it is the buddy of.
    repeatCaption->setBuddy(m_Combo2);
    pauseCaption->setBuddy(m_Combo3);
    for (QComboBox *combo : {m_Combo2, m_Combo3}) {
        combo->setFocusPolicy(Qt::NoFocus);
        combo->setMaxVisibleItems(14);
    }
    connect(m_Combo2, &QComboBox::activated, this,
            [this](int i) { Q_EMIT repeatPicked(m_Combo2->itemText(i)); });
    connect(m_Combo3, &QComboBox::activated, this,
            [this](int i) { Q_EMIT pausePicked(m_Combo3->itemText(i)); });

    // "语速调节：" with 慢速, 常速, 快速.
    m_speed = new QWidget(this);
    m_speed->setObjectName(QStringLiteral("SpeedOptions"));
    constexpr int speedLeft = 7275;
    place(m_speed, speedLeft, pickerTop, 11310 - speedLeft, 420);
    QLabel *speedCaption = label(QStringLiteral("语速调节："), 13, QStringLiteral("#34404C"));
    speedCaption->setParent(m_speed);
    Twips::place(speedCaption, 0, 0, 1140, 420);
    const QString speedCaptions[] = {QStringLiteral("    慢速"), QStringLiteral("    常速"),
                                     QStringLiteral("    快速")};
    for (int k = 0; k < 3; ++k) {
        auto *l = new PictureLabel(m_speed);
        l->setObjectName(QStringLiteral("Label20_%1").arg(k));
        l->setCaption(speedCaptions[k]);
        Twips::place(l, 1140 + k * 960, 0, 900, 420);
        connect(l, &PictureLabel::clicked, this, [this, k] { Q_EMIT speedLabelClicked(k); });
        m_Label20[size_t(k)] = l;
    }

    const auto makeTwin = [this](int check, const char *name) {
        auto *twin = new PictureLabel(this);
        twin->setObjectName(QString::fromLatin1(name));
        connect(twin, &PictureLabel::clicked, this, [this, check] { Q_EMIT twinClicked(check); });
        return twin;
    };
    m_Label21 = makeTwin(1, "Label21");
    m_Label22 = makeTwin(2, "Label22");

    m_prompt->setObjectName(QStringLiteral("Text2Prompt"));

    // At the foot of the card, under the display options; its note right of them.
    m_timing = new SentenceTimingBar(this);
    place(m_timing, contentLeft, 6825, m_timing->width() * Twips::perPixel,
          SentenceTimingBar::heightTwips);
    place(m_timing->noteLabel(), 6000, 6435, contentLeft + contentWidth - 6000, 330);
}

void StudyArea::buildModeControls() {
    m_Shape8 = new QFrame(this);
    m_Shape8->setObjectName(QStringLiteral("Shape8"));
    m_Shape8->setStyleSheet(QStringLiteral(
        "QFrame { background: white; border: 1px solid #D5DDE6; border-radius: 3px; }"));
    place(m_Shape8, panelLeft - 30, panelTop - 30, panelWidth + 60, panelHeight + 60);

    m_panel = new LessonPanel(Program::Orvessa, this);
    place(m_panel, panelLeft, panelTop, panelWidth, panelHeight);

    button(6, QStringLiteral("全文朗读"))->setProperty("accent", true);
    button(7, QStringLiteral("暂停朗读"));
    place(m_commands[6], panelLeft, 7395, 1350, 435);
    place(m_commands[7], panelLeft + 1470, 7395, 1350, 435);
    m_Label23 = new PictureLabel(this);
    m_Label23->setObjectName(QStringLiteral("Label23"));
    connect(m_Label23, &PictureLabel::clicked, this, [this] { Q_EMIT twinClicked(3); });
    m_Label31 = new PictureLabel(this);
    m_Label31->setObjectName(QStringLiteral("Label31"));
    connect(m_Label31, &PictureLabel::clicked, this, [this] { Q_EMIT twinClicked(5); });

    m_Label7_13 = label(QString(), 12, QStringLiteral("#5B6773"));
    m_Label7_13->setObjectName(QStringLiteral("Label7_13"));
    place(m_Label7_13, panelLeft, 7395, 7350, 435);
    button(16, QStringLiteral("重置"));
    place(m_commands[16], 10260, 7395, 1200, 435);
}

void StudyArea::buildPages() {
    // Follow-read comparison (studyMode 5): the sentence as the panel will show it; the
    // recording controls come with the recorder.
    m_Picture4 = new QFrame(this);
    m_Picture4->setObjectName(QStringLiteral("Picture4"));
    m_Picture4->setStyleSheet(cardStyle);
    constexpr int p4Left = panelLeft - 115;
    constexpr int p4Top = panelTop - 435;
    place(m_Picture4, p4Left, p4Top, panelWidth + 115, panelHeight + 435);
    const auto inPicture4 = [this](QWidget *w, int left, int top, int width, int height) {
        w->setParent(m_Picture4);
        Twips::place(w, left, top, width, height);
    };
    inPicture4(label(QStringLiteral("跟读对比"), 15, QStringLiteral("#22303C")), 300, 225, 3000,
               375);
    m_Label10 = label(QString(), 19, QStringLiteral("#1E2A36"));
    m_Label10->setObjectName(QStringLiteral("Label10"));
    m_Label10->setFont(englishLineFont());
    m_Label10->setWordWrap(true);
    inPicture4(m_Label10, 600, 900, 8000, 315);
    m_Label11 = label(QString(), 14, QStringLiteral("#4A5664"));
    m_Label11->setObjectName(QStringLiteral("Label11"));
    m_Label11->setFont(chineseLineFont());
    inPicture4(m_Label11, 600, 1345, 8000, 300);
    m_Label24 = new PictureLabel(this);
    m_Label24->setObjectName(QStringLiteral("Label24"));
    connect(m_Label24, &PictureLabel::clicked, this, [this] { Q_EMIT twinClicked(4); });
    inPicture4(m_Label24, 600, 3150, 1575, 300);
    // The page's own buttons: the sentence moves beside the option, the recording row under
    // the two waveforms, and a calm line under that when recording cannot start.
    const std::pair<int, const char16_t *> moves[] = {
        {13, u"上一句"}, {14, u"下一句"}, {15, u"首句"}};
    int left = 5100;
    for (const auto &[number, caption] : moves) {
        inPicture4(button(number, QString::fromUtf16(caption)), left, 3075, 1080, 420);
        left += 1200;
    }
    m_waves = new VoiceWaveView(m_Picture4);
    Twips::place(m_waves, 600, 3660, 8100, 1380);
    const std::pair<int, const char16_t *> row[] = {
        {11, u"标准发音"}, {8, u"录音"}, {10, u"停止"}, {12, u"您的发音"}, {9, u"循环对比"}};
    left = 600 + 960; // under the lanes, past their captions
    for (const auto &[number, caption] : row) {
        inPicture4(button(number, QString::fromUtf16(caption)), left, 5190, 1230, 435);
        left += 1350;
    }
    m_commands[8]->setProperty("accent", true);
    m_commands[11]->setToolTip(QStringLiteral("听一遍本句的标准发音"));
    m_commands[8]->setToolTip(QStringLiteral("录下您读的这一句，最长60秒"));
    m_commands[12]->setToolTip(QStringLiteral("从头播放您的录音"));
    m_commands[9]->setToolTip(QStringLiteral("标准发音与您的录音轮流播放，直到按“停止”"));
    // The feedback on a recording, in the band between the sentence and the buttons.
    m_feedbackSummary = label(QString(), 13, QStringLiteral("#4A5664"));
    m_feedbackSummary->setObjectName(QStringLiteral("FeedbackSummary"));
    inPicture4(m_feedbackSummary, 600, 1740, 8100, 300);
    m_contours = new PitchContourView(m_Picture4);
    Twips::place(m_contours, 600, 2040, 8100, 990);
    m_followNotice = label(QString(), 13, QStringLiteral("#9A5B13"));
    m_followNotice->setObjectName(QStringLiteral("FollowReadNotice"));
    inPicture4(m_followNotice, 1560, 5730, 7140, 330);
    m_Label13 = new TextButton(QStringLiteral("录音音量调节>>"));
    m_Label13->setObjectName(QStringLiteral("Label13"));
    m_Label13->setToolTip(QStringLiteral("查看话筒音量，并打开系统的录音设置"));
    inPicture4(m_Label13, 6900, 225, 1800, 375);
    connect(m_Label13, &TextButton::released, this, &StudyArea::label13Released);
    // The microphone's level, in the title row until the learner asks for it.
    m_levelMeter = new InputLevelMeter(m_Picture4);
    Twips::place(m_levelMeter, 1800, 240, 5040, 330);
    m_levelMeter->hide();

    // Voice options page (studyMode 6): the engine the lesson plays through, the speed (the
    // same choice as sentence study's) and a sample to try them on.
    m_Picture11 = new QFrame(this);
    m_Picture11->setObjectName(QStringLiteral("Picture11"));
    m_Picture11->setStyleSheet(cardStyle);
    place(m_Picture11, 2550, 1035, panelLeft + panelWidth - 2550, panelTop + panelHeight - 1035);
    const auto inPicture11 = [this](QWidget *w, int left, int top, int width, int height) {
        w->setParent(m_Picture11);
        Twips::place(w, left, top, width, height);
    };
    inPicture11(label(QStringLiteral("语音选项"), 15, QStringLiteral("#22303C")), 450, 300, 3000,
                375);
    inPicture11(label(QStringLiteral("选择发音引擎："), 13, QStringLiteral("#34404C")), 450, 1200,
                1800, 375);
    inPicture11(label(QStringLiteral("选择播放速度："), 13, QStringLiteral("#34404C")), 450, 2250,
                1800, 375);
    const auto option = [&](const QString &caption, const char *name, int left, int top) {
        auto *l = new PictureLabel(m_Picture11);
        l->setObjectName(QString::fromLatin1(name));
        l->setCaption(caption);
        Twips::place(l, left, top, 1350, 375);
        return l;
    };
    m_engines[0] = option(QStringLiteral("    默认引擎"), "EngineOption0", 2400, 1200);
    m_engines[1] = option(QStringLiteral("    备用引擎"), "EngineOption1", 3900, 1200);
    for (int engine = 0; engine < 2; ++engine) {
        connect(m_engines[size_t(engine)], &PictureLabel::clicked, this,
                [this, engine] { Q_EMIT engineClicked(engine); });
    }
    m_engineNote = label(QString(), 12, QStringLiteral("#7B8794"));
    m_engineNote->setObjectName(QStringLiteral("EngineNote"));
    m_engineNote->setWordWrap(true);
    inPicture11(m_engineNote, 2400, 1620, 6300, 480);
    // Fast first, as the page has always listed them; each is the main window's Label20(k).
    const std::pair<int, const char16_t *> speeds[] = {
        {2, u"    快速"}, {1, u"    常速"}, {0, u"    慢速"}};
    int speedLeft = 2400;
    for (const auto &[k, caption] : speeds) {
        PictureLabel *l = option(QString::fromUtf16(caption), "", speedLeft, 2250);
        l->setObjectName(QStringLiteral("PageSpeed%1").arg(k));
        connect(l, &PictureLabel::clicked, this, [this, k = k] { Q_EMIT speedLabelClicked(k); });
        m_pageSpeeds[size_t(k)] = l;
        speedLeft += 1500;
    }
    QLabel *speedNote = label(QStringLiteral("与“句子学习”中的语速调节是同一个选择，立即生效。"),
                              12, QStringLiteral("#7B8794"));
    inPicture11(speedNote, 2400, 2670, 6300, 300);
    m_sample = new TextButton(QStringLiteral("点此试听"), m_Picture11);
    m_sample->setObjectName(QStringLiteral("SampleButton"));
    m_sample->setToolTip(QStringLiteral("播放一段示例录音"));
    Twips::place(m_sample, 2340, 3300, 1200, 375);
    inPicture11(label(QStringLiteral("播放一段示例录音，听听所选引擎和语速的效果。"), 12,
                      QStringLiteral("#7B8794")),
                3600, 3300, 5100, 375);
    connect(m_sample, &TextButton::released, this, &StudyArea::sampleReleased);
}

void StudyArea::showEngines(int inForce, const std::array<bool, 2> &available) {
    static const char16_t *const unavailable[] = {u"默认引擎在这台电脑上无法发声。",
                                                  u"备用引擎在这台电脑上无法使用。"};
    QString note = QStringLiteral("默认引擎变速不变调；备用引擎用系统的多媒体播放，"
                                  "变速时音调随之改变。");
    for (int engine = 0; engine < 2; ++engine) {
        PictureLabel *l = m_engines[size_t(engine)];
        const QString path =
            engine == inForce ? QStringLiteral("bitmap/t.jpg") : QStringLiteral("bitmap/f.jpg");
        l->setPicture(picture(path), path);
        // The engine in force plays: it stays a choice even where a probe said otherwise.
        const bool usable = engine == inForce || available[size_t(engine)];
        l->setEnabled(usable);
        l->setToolTip(usable ? QString() : QString::fromUtf16(unavailable[engine]));
        if (!usable)
            note = QString::fromUtf16(unavailable[engine]);
    }
    setText(m_engineNote, note);
}

void StudyArea::buildDictation() {
    const auto part = [this](QWidget *w) {
        m_dictationParts.push_back(w);
        return w;
    };

    // Command22 复读, Command23 提示, Command24 首句(&F), Command25 重做, Command28 成绩.
    const std::pair<int, const char16_t *> buttons[] = {
        {22, u"复读"}, {23, u"提示"}, {24, u"首句(&F)"}, {25, u"重做"}, {28, u"成绩"}};
    int left = contentLeft;
    for (const auto &[number, caption] : buttons) {
        QPushButton *b = button(number, QString::fromUtf16(caption));
        place(part(b), left, buttonTop, 1050, 450);
        left += 1155;
    }
    m_commands[22]->setProperty("accent", true);
    m_commands[22]->setToolTip(QStringLiteral("再听一遍本句（F7），扣5分"));
    m_commands[23]->setToolTip(QStringLiteral("显示本句英文（F8），扣20分"));
    m_commands[25]->setToolTip(QStringLiteral("本句从100分重新开始（F9）"));
    m_commands[28]->setToolTip(QStringLiteral("本册听写成绩"));

    // The pass mark "及格分数" Combo5 with its drop-down button Command29.
    m_passMark = new QWidget(this);
    m_passMark->setObjectName(QStringLiteral("PassMark"));
    place(part(m_passMark), 8700, buttonTop, contentLeft + contentWidth - 8700, 450);
    // The picker and its button read as one control: Command29 stands for the arrow.
    m_passMark->setStyleSheet(QStringLiteral(
        "QComboBox#Combo5 { border-top-right-radius: 0; border-bottom-right-radius: 0; }"
        "QComboBox#Combo5::drop-down { width: 0; border: none; }"
        "QComboBox#Combo5::down-arrow { image: none; width: 0; height: 0; }"
        "QPushButton#Command29 { border-top-left-radius: 0; border-bottom-left-radius: 0;"
        " border-left: none; padding: 0; }"));
    QLabel *passCaption = label(QStringLiteral("及格分数"), 13, QStringLiteral("#34404C"));
    passCaption->setParent(m_passMark);
    passCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Twips::place(passCaption, 0, 0, 1200, 450);
    m_Combo5 = new QComboBox(m_passMark);
    m_Combo5->setObjectName(QStringLiteral("Combo5"));
    m_Combo5->setEditable(true);
    m_Combo5->setInsertPolicy(QComboBox::NoInsert);
    m_Combo5->setFocusPolicy(Qt::ClickFocus);
    m_Combo5->addItems({QStringLiteral("60"), QStringLiteral("70"), QStringLiteral("80"),
                        QStringLiteral("90"), QStringLiteral("100")});
    m_Combo5->setEditText(QStringLiteral("60"));
    Twips::place(m_Combo5, 1290, 30, 855, 390);
    passCaption->setBuddy(m_Combo5);
    QPushButton *Command29 = new QPushButton(m_passMark);
    Command29->setObjectName(QStringLiteral("Command29"));
    Command29->setAccessibleName(QStringLiteral("展开及格分数列表"));
    Command29->setIcon(QIcon(QStringLiteral(":/shell/icons/chevron.svg")));
    Command29->setIconSize(QSize(10, 10));
    Command29->setCursor(Qt::PointingHandCursor);
    Command29->setFocusPolicy(Qt::NoFocus);
    Twips::place(Command29, 2130, 30, 330, 390);
    m_commands[29] = Command29;
    // It only opens the list; the pick is reported by the picker itself.
    connect(Command29, &QPushButton::clicked, m_Combo5, &QComboBox::showPopup);
    connect(m_Combo5, &QComboBox::activated, this, &StudyArea::passMarkPicked);
    connect(m_Combo5->lineEdit(), &QLineEdit::editingFinished, this, &StudyArea::passMarkEdited);

    // "提示：" hintCount, "错误：" errorCount, "复读：" replayCount, each on a quiet chip.
    const auto counter = [&](const char16_t *caption, const char *name, int chipLeft) {
        auto *chip = new QFrame(this);
        chip->setObjectName(QStringLiteral("CounterChip"));
        chip->setStyleSheet(QStringLiteral(
            "QFrame#CounterChip { background: #F3F6FA; border: none; border-radius: 8px; }"));
        place(part(chip), chipLeft, counterTop, 855, counterHeight);
        QLabel *text = label(QString::fromUtf16(caption), 12, QStringLiteral("#7B8794"));
        text->setParent(chip);
        Twips::place(text, 150, 0, 480, counterHeight);
        QLabel *value = label(QStringLiteral("0"), 13, QStringLiteral("#22303C"));
        value->setObjectName(QString::fromLatin1(name));
        QFont font = value->font();
        font.setBold(true);
        value->setFont(font);
        value->setParent(chip);
        Twips::place(value, 600, 0, 255, counterHeight);
        return value;
    };
    m_hintCount = counter(u"提示：", "hintCount", contentLeft);
    m_errorCount = counter(u"错误：", "errorCount", contentLeft + 915);
    m_replayCount = counter(u"复读：", "replayCount", contentLeft + 1830);

    // "进度：" passedCount "/" total, placed from the state; widths follow the label font.
    QLabel *progressCaption = label(QStringLiteral("进度："), 12, QStringLiteral("#7B8794"));
    progressCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(part(progressCaption), 5580, counterTop, 600, counterHeight);
    const auto progressLabel = [&](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(labelFont());
        l->setStyleSheet(QStringLiteral("color: #22303C; background: transparent; border: none;"));
        part(l);
        return l;
    };
    m_Label33 = progressLabel("Label33");
    m_Label7_36 = progressLabel("Label7_36");
    m_Label34 = progressLabel("Label34");

    m_Picture9 = new QFrame(this);
    m_Picture9->setObjectName(QStringLiteral("Picture9"));
    m_Picture9->setStyleSheet(QStringLiteral("background: %1; border: none; border-radius: 4px;")
                                  .arg(Palette::track().name()));
    m_progressFill = new QFrame(m_Picture9);
    m_progressFill->setObjectName(QStringLiteral("ProgressFill"));
    m_progressFill->setStyleSheet(
        QStringLiteral("background: %1; border: none; border-radius: 4px;")
            .arg(Palette::accent().lighter(140).name()));
    m_Picture10 = new QFrame(this);
    m_Picture10->setObjectName(QStringLiteral("Picture10"));
    m_Picture10->setStyleSheet(
        QStringLiteral("background: %1; border: 2px solid white; border-radius: 6px;")
            .arg(Palette::accent().name()));
    part(m_Picture9);
    part(m_Picture10);

    // The large score of the sentence.
    auto *tile = new QFrame(this);
    tile->setObjectName(QStringLiteral("ScoreTile"));
    tile->setStyleSheet(QStringLiteral(
        "QFrame#ScoreTile { background: #F3F6FA; border: none; border-radius: 10px; }"));
    place(part(tile), 10260, 5460, 1050, 1290);
    QLabel *tileCaption = label(QStringLiteral("本句得分"), 12, QStringLiteral("#7B8794"));
    tileCaption->setParent(tile);
    tileCaption->setAlignment(Qt::AlignCenter);
    Twips::place(tileCaption, 0, 120, 1050, 300);
    m_sentencePoints = label(QStringLiteral("100"), 30, Palette::accent().name());
    m_sentencePoints->setObjectName(QStringLiteral("sentencePoints"));
    QFont big = m_sentencePoints->font();
    big.setBold(true);
    m_sentencePoints->setFont(big);
    m_sentencePoints->setAlignment(Qt::AlignCenter);
    m_sentencePoints->setParent(tile);
    Twips::place(m_sentencePoints, 0, 420, 1050, 690);

    // The key-hint bar, shown from the first key of the test on.
    m_Picture12 = label(QStringLiteral("F7复读，F8提示，回车检查"), 12, Palette::accent().name());
    m_Picture12->setObjectName(QStringLiteral("Picture12"));
    m_Picture12->setAlignment(Qt::AlignCenter);
    m_Picture12->setStyleSheet(
        QStringLiteral("color: %1; background: %2; border: none; "
                       "border-radius: 9px;")
            .arg(Palette::accentPressed().name(), Palette::accentSoft().name()));
    place(m_Picture12, 8310, 3750, 3000, 300);

    m_dictationShortcuts =
        label(QStringLiteral("快捷键：F7复读，F8提示，F9重做"), 12, QStringLiteral("#8A96A3"));
    m_dictationShortcuts->setObjectName(QStringLiteral("DictationShortcutLine"));
    place(m_dictationShortcuts, panelLeft, 7440, panelWidth, 345);
}

void StudyArea::refreshDictation(const TrainerState &state) {
    const StudyViewState &v = state.view;
    const bool shown = v.dictationControlsVisible;
    for (QWidget *w : m_dictationParts)
        setShown(w, shown);
    setShown(m_dictationShortcuts, shown && v.Shape3Visible);
    setShown(m_Picture12, v.Picture12Visible && v.Shape3Visible);

    const DictationCounters &d = state.dictation;
    setText(m_hintCount, QString::number(d.hintCount));
    setText(m_errorCount, QString::number(d.errorCount));
    setText(m_replayCount, QString::number(d.replayCount));
    setText(m_sentencePoints, QString::number(d.sentencePoints));
    // A score that no longer passes turns warm, so the learner sees it before checking.
    const bool passing = d.sentencePoints >= passMarkOf(m_Combo5->currentText());
    if (m_sentencePoints->property("passing") != passing) {
        m_sentencePoints->setProperty("passing", passing);
        m_sentencePoints->setStyleSheet(
            QStringLiteral("color: %1; background: transparent; border: none;")
                .arg(passing ? Palette::accent().name() : QStringLiteral("#D9822B")));
    }

    // The progress line: a label's pixel box is its measured width, rounded up.
    const auto placeLabel = [this](QLabel *l, const LabelState &s) {
        setText(l, s.text);
        place(l, s.left, counterTop, s.width + Twips::perPixel - 1, counterHeight);
    };
    placeLabel(m_Label33, state.Label33);
    placeLabel(m_Label7_36, state.Label7_36);
    placeLabel(m_Label34, state.Label34);

    const DictationGeometry &g = state.dictationGeometry;
    constexpr int trackHeight = 120;
    constexpr int knobHeight = 180;
    const int trackTop = counterTop + (counterHeight - trackHeight) / 2;
    place(m_Picture9, progressTrackLeft, trackTop, g.Picture9Width, trackHeight);
    const int knobLeft = progressTrackLeft + state.Picture10Left;
    place(m_Picture10, knobLeft, counterTop + (counterHeight - knobHeight) / 2, g.Picture10Width,
          knobHeight);
    // The passed part of the track fills up to the knob's right edge.
    const int filled = std::clamp(state.Picture10Left + g.Picture10Width, 0, g.Picture9Width);
    Twips::place(m_progressFill, 0, 0, filled, trackHeight);
    setShown(m_progressFill, filled > 0);
}

QPushButton *StudyArea::command(int number) const {
    return number >= 0 && number < int(m_commands.size()) ? m_commands[size_t(number)] : nullptr;
}

PictureLabel *StudyArea::twin(int check) const {
    switch (check) {
    case 1:
        return m_Label21;
    case 2:
        return m_Label22;
    case 3:
        return m_Label23;
    case 5:
        return m_Label31;
    default:
        return nullptr;
    }
}

PictureLabel *StudyArea::Label20(int k) const {
    return k >= 0 && k < 3 ? m_Label20[size_t(k)] : nullptr;
}

void StudyArea::refresh(const TrainerState &state) {
    const StudyViewState &v = state.view;
    const PlaybackState &pb = state.playback;
    // What a page covered last time is shown again; the state below says what stays.
    for (const QPointer<QWidget> &w : std::exchange(m_covered, {})) {
        if (w)
            w->show();
    }

    setText(m_Label37, state.Label37.text);
    setText(m_Label7_12, v.Label7_12.text);
    setShown(m_Label7_12, !v.Label7_12.text.isEmpty());
    setText(m_Label7_13, v.Label7_13.text);
    setShown(m_Label7_13, !v.Label7_13.text.isEmpty());

    // The single-sentence view.
    setShown(m_Shape3, v.Shape3Visible);
    // The lesson panel lies over the sentence lines: covered, they do not show at all.
    const bool uncovered = !v.Picture5Visible;
    setText(m_Label1, v.Label1.text);
    setShown(m_Label1, v.Label1.visible && uncovered);
    setText(m_Label51, v.Label51.text);
    setShown(m_Label51, v.Label51.visible && uncovered);
    setText(m_Label2, v.Label2.text);
    setShown(m_Label2, v.Label2.visible && uncovered);
    setText(m_Label7_5, v.Label7_5.text);
    setShown(m_Label7_5, v.Label7_5.visible);
    // Without a sentence the view says why, as the lesson panel does.
    setText(m_note, state.sentenceCount == 0 ? state.panel.note : QString());
    setShown(m_note, state.sentenceCount == 0 && (v.Shape3Visible || v.Picture4Visible));

    m_commands[1]->setEnabled(state.Command1.enabled);
    setShown(m_commands[1], state.Command1.visible);
    m_commands[2]->setEnabled(state.Command2.enabled);
    setShown(m_commands[2], state.Command2.visible);
    setShown(m_commands[3], v.Command3Visible);
    setShown(m_commands[4], v.Command4Visible);
    setShown(m_commands[5], v.Command5Visible);
    setShown(m_shortcuts, v.Command5Visible && v.Shape3Visible);
    refreshDictation(state);
    setShown(m_prompt, v.Shape3Visible);
    setShown(m_Text2, v.Shape3Visible);

    setShown(m_pickers, v.pickersVisible);
    const bool timing =
        state.studyMode == 1 && v.Shape3Visible && uncovered && state.sentenceCount > 0;
    setShown(m_timing, timing);
    setShown(m_timing->noteLabel(), timing);
    setComboText(m_Combo2, pb.Combo2Text);
    setComboText(m_Combo3, pb.Combo3Text);
    setShown(m_speed, v.speedOptionsVisible);
    for (int k = 0; k < 3; ++k) {
        const QString &path = pb.Image9Picture[size_t(k)];
        m_Label20[size_t(k)]->setPicture(picture(path), path);
        m_pageSpeeds[size_t(k)]->setPicture(picture(path), path);
    }

    const auto showTwin = [this](PictureLabel *l, const TwinLabel &twin, const TwinPicture &pic,
                                 int widthExtra) {
        l->setCaption(twin.caption);
        l->setPicture(picture(pic.path), pic.path);
        place(l, twin.left, twin.top, twin.width + widthExtra, 330);
        setShown(l, twin.visible && pic.visible);
    };
    showTwin(m_Label21, v.Label21, v.Image10, 0);
    showTwin(m_Label22, v.Label22, v.Image11, 300); // room for the dictation caption
    showTwin(m_Label23, v.Label23, v.Image12, 0);
    showTwin(m_Label31, v.Label31, v.Image27, 0);

    // Full-text reading and the recall reset.
    m_commands[6]->setText(pb.Command6Caption);
    m_commands[7]->setText(pb.Command7Caption);
    m_commands[7]->setEnabled(pb.Command7Enabled);
    setShown(m_commands[6], v.Command6Visible);
    setShown(m_commands[7], v.Command7Visible);
    setShown(m_commands[16], v.Command16Visible);

    // The panels, above the single-sentence view.
    setShown(m_Shape8, v.Shape8Visible);
    setShown(m_panel, v.Picture5Visible);
    setText(m_Label11, v.Label11.text);
    setShown(m_Label11, v.Label11.visible);
    // Wrapped only where ty found the sentence wider than the panel; an auto-sized line
    // keeps its one line at its natural width.
    m_Label10->setWordWrap(!v.Label10.autoSize);
    Twips::place(m_Label10, v.Label10.left, v.Label10.top, v.Label10.width, v.Label10.height);
    showEnglishLine(v.Label10.text);
    Twips::place(m_Label11, v.Label11.left, v.Label11.top, 8000, std::max(300, v.Label11.height));
    m_Label24->setCaption(v.Label24.caption);
    m_Label24->setPicture(picture(v.Image13.path), v.Image13.path);
    setShown(m_Label13, v.Label13Visible);
    refreshFollowRead(state);
    setShown(m_Picture4, v.Picture4Visible);
    setShown(m_Picture11, v.Picture11Visible);
    coverUnderPage();
}

// A page (the voice options, else the follow-read page) is the whole study area while it
// shows: what lies under it is hidden, so that nothing the learner cannot see takes a click,
// a key or a screen reader's attention. refresh() brings it back when the page goes.
void StudyArea::coverUnderPage() {
    QWidget *page = m_Picture11->isVisibleTo(this)  ? static_cast<QWidget *>(m_Picture11)
                    : m_Picture4->isVisibleTo(this) ? static_cast<QWidget *>(m_Picture4)
                                                    : nullptr;
    if (!page)
        return;
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w != page && w->isVisibleTo(this)) {
            w->hide();
            m_covered.emplace_back(w);
        }
    }
}

void StudyArea::showFeedback(const QString &sentence, const SentenceFeedback &feedback,
                             const QString &status) {
    m_feedbackSentence = sentence;
    m_feedback = feedback;
    const QString summary = status.isEmpty() ? feedback.summary : status;
    setText(m_feedbackSummary, summary);
    setShown(m_feedbackSummary, !summary.isEmpty());
    m_contours->setFeedback(feedback);
    showEnglishLine(m_englishLine);
}

// The sentence, with the marks of the feedback given for it.
void StudyArea::showEnglishLine(const QString &text) {
    const bool marked = m_feedback.judged && text == m_feedbackSentence;
    const QString shown = marked ? markedSentenceHtml(text, m_feedback.words) : text;
    m_englishLine = text;
    m_Label10->setTextFormat(marked ? Qt::RichText : Qt::PlainText);
    setText(m_Label10, shown);
    // The marks make the line longer: it may take the page's width.
    if (marked && m_Label10->width() < markedLineWidth / Twips::perPixel)
        m_Label10->resize(markedLineWidth / Twips::perPixel, m_Label10->height());
    // Each change is announced to assistive technology: only what changed is set.
    if (m_Label10->accessibleName() != text)
        m_Label10->setAccessibleName(text);
    const QString description = marked ? ::accessibleDescription(m_feedback) : QString();
    if (m_Label10->accessibleDescription() != description)
        m_Label10->setAccessibleDescription(description);
}

void StudyArea::refreshFollowRead(const TrainerState &state) {
    const FollowReadState &f = state.followRead;
    const std::pair<int, const FollowReadButton *> own[] = {{11, &f.Command11}, {8, &f.Command8},
                                                            {10, &f.Command10}, {12, &f.Command12},
                                                            {9, &f.Command9},   {15, &f.Command15}};
    for (const auto &[number, b] : own) {
        m_commands[size_t(number)]->setText(b->caption);
        m_commands[size_t(number)]->setEnabled(b->enabled);
    }
    m_commands[13]->setEnabled(state.Command13.enabled);
    m_commands[14]->setEnabled(state.Command14.enabled);
    setText(m_followNotice, f.notice);
    setShown(m_followNotice, !f.notice.isEmpty());
}
