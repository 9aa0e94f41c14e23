#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "desktop/paintedcontrolaccessible.h"
#include "shell/functionmenu.h"
#include "shell/trainerwindow.h"
#include "support/programdirfixture.h"
#include "support/windowfakes.h"
#include "text/fonts.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The window as a screen reader walks it: every control found by name from the window's own
// interface, its role, states and actions, and what its action does to the window.
namespace {

enum class Seen { Any, OnScreen };

QAccessibleInterface *findByName(QAccessibleInterface *node, const QString &name,
                                 QAccessible::Role role, Seen seen) {
    if (!node || (seen == Seen::OnScreen && node->state().invisible))
        return nullptr;
    if (node->role() == role && node->text(QAccessible::Name) == name)
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface *found = findByName(node->child(i), name, role, seen))
            return found;
    }
    return nullptr;
}

bool waitFor(const std::function<bool()> &done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QStringList actionsOf(QAccessibleInterface *iface) {
    QAccessibleActionInterface *actions = iface->actionInterface();
    return actions ? actions->actionNames() : QStringList();
}

class AccessibilityTest : public ::testing::Test, protected TrainerWindowFakes {
protected:
    void SetUp() override {
        PaintedControlAccessible::install();
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        programdir::copyDemoContent(dir.path());
        player = std::make_unique<VoicePlayer>(
            Program::Orvessa, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
        window = std::make_unique<TrainerWindow>(DataPlaces::portable(dir.path()), *player, sounds,
                                                 recorder, timers());
        window->messageSink = [](const QString &, const QString &, MessageIcon) {};
        window->launcher.startDetached = [this](const QString &path) {
            started << path;
            return true;
        };
        window->launcher.openUrl = [this](const QUrl &url) {
            started << url.toString();
            return true;
        };
        window->startup();
        root = QAccessible::queryAccessibleInterface(window.get());
        ASSERT_NE(root, nullptr);
    }

    // What a learner can reach now; the pages of other modes are in the tree, hidden.
    QAccessibleInterface *find(const QString &name, QAccessible::Role role,
                               Seen seen = Seen::OnScreen) {
        return findByName(root, name, role, seen);
    }
    // Runs the control's first action and lets the event loop deliver it.
    void act(QAccessibleInterface *iface, const std::function<bool()> &done) {
        ASSERT_NE(iface, nullptr);
        const QStringList actions = actionsOf(iface);
        ASSERT_FALSE(actions.isEmpty()) << qPrintable(iface->text(QAccessible::Name));
        iface->actionInterface()->doAction(actions.first());
        EXPECT_TRUE(waitFor(done)) << qPrintable(iface->text(QAccessible::Name));
    }
    FakeVoiceBackend &fake() { return static_cast<FakeVoiceBackend &>(player->backend()); }

    QTemporaryDir dir;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<TrainerWindow> window;
    QAccessibleInterface *root = nullptr;
    QStringList started;
};

TEST_F(AccessibilityTest, PressableControlsHaveTheirCaptionRoleAndAction) {
    const QString press = QAccessibleActionInterface::pressAction();
    const QString toggle = QAccessibleActionInterface::toggleAction();
    struct Row {
        const char16_t *name;
        QAccessible::Role role;
        QString action;
    };
    const Row rows[] = {
        {u"句子学习", QAccessible::PushButton, press},
        {u"全文浏览", QAccessible::PushButton, press},
        {u"回想中文", QAccessible::PushButton, press},
        {u"回想英文", QAccessible::PushButton, press},
        {u"跟读对比", QAccessible::PushButton, press},
        {u"听写测试", QAccessible::PushButton, press},
        {u"语音选项", QAccessible::PushButton, press},
        {u"口语练习", QAccessible::PushButton, press},
        {u"迷你模式", QAccessible::PushButton, press},
        {u"更多软件", QAccessible::PushButton, press},
        {u"点此试听", QAccessible::PushButton, press},
        {u"关闭", QAccessible::PushButton, press},
        {u"最小化", QAccessible::PushButton, press},
        {u"向上滚动", QAccessible::PushButton, press},
        {u"向下滚动", QAccessible::PushButton, press},
        {u"朗读", QAccessible::PushButton, press},
        {u"提示(H)", QAccessible::PushButton, press},
        {u"全文朗读", QAccessible::PushButton, press},
        {u"显示英文", QAccessible::CheckBox, toggle},
        {u"显示中文", QAccessible::CheckBox, toggle},
        {u"显示中文句子", QAccessible::CheckBox, toggle},
        {u"句子中文提示", QAccessible::CheckBox, toggle},
        {u"慢速", QAccessible::RadioButton, toggle},
        {u"常速", QAccessible::RadioButton, toggle},
        {u"快速", QAccessible::RadioButton, toggle},
        // The voice options page's engine in force is a choice; an engine this window
        // cannot make (none offered here) is disabled, without an action.
        {u"默认引擎", QAccessible::RadioButton, toggle},
        {u"备用引擎", QAccessible::RadioButton, QString()},
    };
    for (const Row &row : rows) {
        const QString name = QString::fromUtf16(row.name);
        SCOPED_TRACE(name.toStdString());
        QAccessibleInterface *iface = find(name, row.role, Seen::Any);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->parent() && iface->parent()->indexOfChild(iface) >= 0, true);
        if (row.action.isEmpty()) {
            EXPECT_TRUE(actionsOf(iface).isEmpty());
            EXPECT_TRUE(iface->state().disabled);
        } else {
            EXPECT_EQ(actionsOf(iface).value(0), row.action);
        }
        EXPECT_EQ(iface->state().checkable, row.role != QAccessible::PushButton);
    }
}

TEST_F(AccessibilityTest, ListsAndComboBoxesAreNamedByTheirCaptions) {
    const auto labelledBy = [](QAccessibleInterface *iface) {
        QStringList labels;
        for (const auto &[label, relation] : iface->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name);
        return labels;
    };
    struct Row {
        QWidget *widget;
        const char16_t *caption;
    };
    const Row rows[] = {
        {window->findChild<QWidget *>(QStringLiteral("Combo1")), u"书本"},
        {window->findChild<QWidget *>(QStringLiteral("Combo2")), u"每句朗读"},
        {window->findChild<QWidget *>(QStringLiteral("Combo3")), u"间隔"},
        {window->findChild<QWidget *>(QStringLiteral("Combo5")), u"及格分数"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(QString::fromUtf16(row.caption).toStdString());
        ASSERT_NE(row.widget, nullptr);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(row.widget);
        EXPECT_EQ(iface->role(), QAccessible::ComboBox);
        EXPECT_EQ(labelledBy(iface), QStringList{QString::fromUtf16(row.caption)});
    }
    EXPECT_NE(find(QStringLiteral("课程"), QAccessible::List), nullptr);
    EXPECT_NE(find(QStringLiteral("课程目录"), QAccessible::Tree), nullptr);
}

TEST_F(AccessibilityTest, ActionsChangeTheWindowAsAClickWould) {
    TrainerState &s = window->state();
    const int check1 = s.view.Check1.value;
    struct Row {
        const char16_t *name;
        QAccessible::Role role;
        std::function<bool()> done;
    };
    const Row rows[] = {
        {u"全文浏览", QAccessible::PushButton,
         [&] {
             return s.studyMode == 2 &&
                    window->functionMenu()->markerLeft() == FunctionMenu::itemLeft(2) - 60;
         }},
        {u"回想英文", QAccessible::PushButton, [&] { return s.studyMode == 4; }},
        {u"句子学习", QAccessible::PushButton, [&] { return s.studyMode == 1; }},
        {u"显示英文", QAccessible::CheckBox, [&] { return s.view.Check1.value != check1; }},
        {u"慢速", QAccessible::RadioButton, [&] { return s.playback.speedOption == 0; }},
        {u"朗读", QAccessible::PushButton, [&] { return fake().calls.contains(u"play"); }},
        {u"迷你模式", QAccessible::PushButton, [&] { return started.size() == 1; }},
        {u"口语练习", QAccessible::PushButton, [&] { return started.size() == 2; }},
    };
    fake().calls.clear();
    for (const Row &row : rows) {
        SCOPED_TRACE(QString::fromUtf16(row.name).toStdString());
        act(find(QString::fromUtf16(row.name), row.role), row.done);
    }
    // The states follow the options: the check box toggled, the slow speed is the chosen one.
    EXPECT_EQ(find(QStringLiteral("显示英文"), QAccessible::CheckBox)->state().checked,
              s.view.Check1.value == 1);
    EXPECT_TRUE(find(QStringLiteral("慢速"), QAccessible::RadioButton)->state().checked);
    EXPECT_FALSE(find(QStringLiteral("常速"), QAccessible::RadioButton)->state().checked);
    // The companion program is starting: item 7 offers no press until the mouse moves on.
    QAccessibleInterface *item7 = find(QStringLiteral("口语练习"), QAccessible::PushButton);
    EXPECT_TRUE(item7->state().disabled);
    EXPECT_TRUE(actionsOf(item7).isEmpty());
}

TEST_F(AccessibilityTest, CanvasReadsItsRowsAndPlaysFromTheirIcons) {
    TrainerState &s = window->state();
    QAccessibleInterface *canvas = find(QStringLiteral("课文句子"), QAccessible::List, Seen::Any);
    ASSERT_NE(canvas, nullptr);
    ASSERT_GE(s.sentenceCount, 3);
    // No play icon shows yet: the list holds only the rows.
    ASSERT_EQ(canvas->childCount(), s.sentenceCount);
    const QString english = s.row(3).Label6.text.trimmed();
    const QString chinese = s.row(3).Label8.text.trimmed();
    const QString hiddenEnglish = QStringLiteral("（英文已隐藏）");
    const QString hiddenChinese = QStringLiteral("（中文已隐藏）");
    struct Row {
        int item;  // the menu item that lays the rows out
        int child; // row 3's place in the list: after two rows, or two rows and three icons
        QString name;
    };
    const Row rows[] = {
        {2, 2, QStringLiteral("3. %1 %2").arg(english, chinese)},
        {3, 2, QStringLiteral("3. %1 %2").arg(english, hiddenChinese)},
        {4, 5, QStringLiteral("3. %1 %2").arg(hiddenEnglish, chinese)},
    };
    window->studyView().setCheckValue(3, 1); // 显示中文: full text shows both lines
    for (const Row &row : rows) {
        SCOPED_TRACE(row.item);
        window->menuItemReleased(row.item);
        QAccessibleInterface *row3 = canvas->child(row.child);
        ASSERT_NE(row3, nullptr);
        EXPECT_EQ(row3->role(), QAccessible::ListItem);
        // Later questions get the same interface: its id stays the screen reader's handle.
        EXPECT_EQ(canvas->child(row.child), row3);
        EXPECT_EQ(canvas->indexOfChild(row3), row.child);
        EXPECT_EQ(row3->parent(), canvas);
        EXPECT_EQ(row3->text(QAccessible::Name), row.name);
    }

    // In recall English the row's press reveals its English line.
    act(canvas->child(5),
        [&] { return canvas->child(5)->text(QAccessible::Name).contains(english); });

    // The play icon plays its sentence, as a click on it does.
    QAccessibleInterface *play3 = find(QStringLiteral("播放第 3 句"), QAccessible::PushButton);
    ASSERT_NE(play3, nullptr);
    EXPECT_EQ(play3, canvas->child(4));
    fake().calls.clear();
    act(play3, [&] { return fake().calls.contains(u"play"); });
    EXPECT_EQ(fake().calls.value(0), QStringLiteral("seek %1").arg(s.sentences.times(3)->start));
}

} // namespace
