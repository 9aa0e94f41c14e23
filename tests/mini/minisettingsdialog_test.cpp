#include "desktop/paintedcontrolaccessible.h"
#include "fakesettingshost.h"
#include "mini/colourpalette.h"
#include "mini/colourswatch.h"
#include "mini/minisettingsdialog.h"
#include "widgets/twips.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

QStringList entries(const QComboBox *list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// What the combo box does when the learner picks an entry from its list.
void choose(QComboBox *list, int index) {
    list->setCurrentIndex(index);
    Q_EMIT list->activated(index);
}

void choose(QComboBox *list, const QString &text) {
    choose(list, list->findText(text));
}

void mouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
    const QPoint global = w->mapToGlobal(pos);
    QMouseEvent event(type, pos, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void press(QWidget *w, QPoint pos) {
    mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, pos, Qt::NoButton);
}

QPoint twipsPoint(int left, int top) {
    return {Twips::toPixels(left), Twips::toPixels(top)};
}

class MiniSettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        PaintedControlAccessible::install();
        dialog = std::make_unique<MiniSettingsDialog>(host);
        dialog->open();
    }

    FakeSettingsHost host;
    std::unique_ptr<MiniSettingsDialog> dialog;
};

TEST_F(MiniSettingsDialogTest, OpeningReadsEveryFieldFromTheWindowEachTime) {
    const QStringList lessons{"Lesson 1", "Lesson 2", "Lesson 3", "Lesson 4"};
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("设置"));
    EXPECT_EQ(dialog->backgroundSwatch()->colour(), QColor(29, 56, 91));
    EXPECT_EQ(dialog->textSwatch()->colour(), QColor(255, 255, 0));
    EXPECT_EQ(entries(dialog->bookList()), QStringList{QStringLiteral("新概念英语第一册")});
    EXPECT_EQ(dialog->bookList()->currentText(), QStringLiteral("新概念英语第一册"));
    EXPECT_EQ(entries(dialog->repeatList()), QString("0 1 2 3 4 5 6 7 8 9 10").split(u' '));
    EXPECT_EQ(entries(dialog->pauseList()), QString("0 1 2 3 4 5 6 7 8 9 10 20 30 60").split(u' '));
    EXPECT_EQ(dialog->repeatList()->currentText(), "3");
    EXPECT_EQ(dialog->pauseList()->currentText(), "20");
    EXPECT_EQ(entries(dialog->startLessonList()), lessons);
    EXPECT_EQ(entries(dialog->endLessonList()), lessons);
    EXPECT_EQ(dialog->startLessonList()->currentIndex(), 2);
    EXPECT_EQ(dialog->endLessonList()->currentText(), "Lesson 4");
    EXPECT_FALSE(dialog->colourPalette()->isVisible());

    // What the learner changed without 确定, and what the window changed since, is not kept.
    choose(dialog->endLessonList(), 3);
    dialog->close();
    host.hn = 0;
    host.endLesson = QStringLiteral("Lesson 2");
    host.repeat = QStringLiteral("7");
    host.backgroundColour = Qt::white;
    host.choices << QStringLiteral("我的播客");
    host.book = QStringLiteral("英语900句");
    dialog->open();
    EXPECT_EQ(entries(dialog->bookList()),
              (QStringList{QStringLiteral("新概念英语第一册"), QStringLiteral("我的播客"),
                           QStringLiteral("英语900句")}));
    EXPECT_EQ(dialog->bookList()->currentText(), QStringLiteral("英语900句"));
    EXPECT_EQ(dialog->startLessonList()->currentIndex(), 0);
    EXPECT_EQ(dialog->endLessonList()->currentText(), "Lesson 2");
    EXPECT_EQ(dialog->repeatList()->currentText(), "7");
    EXPECT_EQ(dialog->backgroundSwatch()->colour(), QColor(Qt::white));
}

struct BufferCase {
    const char *buffer;
    int hn;
    QStringList lessons;
    int start;
};

class LessonBuffer : public MiniSettingsDialogTest,
                     public ::testing::WithParamInterface<BufferCase> {};

// The buffer is walked to its end whatever its last character; empty names keep their place, so
// that positions stay those of the window's list; the start lesson stays inside the list.
TEST_P(LessonBuffer, FillsBothListsAndPlacesTheStartInside) {
    const BufferCase c = GetParam();
    host.buffer = QString::fromUtf8(c.buffer);
    host.hn = c.hn;
    dialog->open();
    EXPECT_EQ(entries(dialog->startLessonList()), c.lessons);
    EXPECT_EQ(entries(dialog->endLessonList()), c.lessons);
    EXPECT_EQ(dialog->startLessonList()->currentIndex(), c.start);
}

INSTANTIATE_TEST_SUITE_P(MiniSettingsDialog, LessonBuffer,
                         ::testing::Values(BufferCase{"^a^b^c^", 1, {"a", "b", "c"}, 1},
                                           BufferCase{"^a^b^c", 1, {"a", "b", "c"}, 1},
                                           BufferCase{"^a^b^", 5, {"a", "b"}, 1},
                                           BufferCase{"^a^b^", -3, {"a", "b"}, 0},
                                           BufferCase{"^a^^b^", 2, {"a", "", "b"}, 2},
                                           BufferCase{"^only", 0, {"only"}, 0},
                                           BufferCase{"", 0, {}, -1}));

TEST_F(MiniSettingsDialogTest, EndBeforeStartSnapsBackToTheStart) {
    struct {
        int start;
        int chosenEnd;
        int end;
    } const cases[] = {{2, 0, 2}, {2, 1, 2}, {2, 2, 2}, {2, 3, 3}, {0, 0, 0}, {3, 1, 3}};
    for (const auto &c : cases) {
        dialog->startLessonList()->setCurrentIndex(c.start);
        choose(dialog->endLessonList(), c.chosenEnd);
        EXPECT_EQ(dialog->endLessonList()->currentIndex(), c.end)
            << "start " << c.start << ", chosen end " << c.chosenEnd;
    }
}

TEST_F(MiniSettingsDialogTest, ChoosingTheStartMovesTheEndAlong) {
    for (int start : {0, 3, 1}) {
        choose(dialog->startLessonList(), start);
        EXPECT_EQ(dialog->endLessonList()->currentIndex(), start);
    }
}

// Books without lessons here stay in the list, greyed, and cannot be chosen; the current book
// is always there.
TEST_F(MiniSettingsDialogTest, BooksWithoutLessonsAreShownButCannotBeChosen) {
    host.choices = {QStringLiteral("新概念英语第一册"), QStringLiteral("英语900句")};
    host.uninstalled = {QStringLiteral("新概念英语第一册"), QStringLiteral("商务英语900句")};
    host.book = QStringLiteral("商务英语900句");
    dialog->open();
    QComboBox *books = dialog->bookList();
    EXPECT_EQ(entries(books), (QStringList{"新概念英语第一册", "英语900句", "商务英语900句"}));
    for (int i = 0; i < books->count(); ++i) {
        const bool installed = books->itemText(i) == QStringLiteral("英语900句");
        const auto flags = books->model()->flags(books->model()->index(i, 0));
        EXPECT_EQ(bool(flags & Qt::ItemIsEnabled), installed) << i;
        EXPECT_EQ(books->itemData(i, Qt::AccessibleDescriptionRole).toString(),
                  installed ? QString() : QStringLiteral("未安装"));
    }
    // The arrow keys pass over a greyed entry.
    books->setCurrentIndex(1);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(books, &up);
    EXPECT_EQ(books->currentIndex(), 1);
}

// Enter presses the focused button, and 确定 only when no button has the focus.
TEST_F(MiniSettingsDialogTest, EnterPressesTheFocusedButton) {
    struct Case {
        const char *focus;
        bool applied;
    } cases[] = {{"cancel", false}, {"close", false}, {"ok", true}, {"list", true}};
    for (const Case &c : cases) {
        host.applied.reset();
        dialog->open();
        const QString focus = QString::fromLatin1(c.focus);
        QWidget *target = focus == u"cancel"  ? static_cast<QWidget *>(dialog->cancelButton())
                          : focus == u"close" ? static_cast<QWidget *>(dialog->closeButton())
                          : focus == u"ok"    ? static_cast<QWidget *>(dialog->okButton())
                                              : static_cast<QWidget *>(dialog->repeatList());
        target->setFocus();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(dialog->focusWidget() ? dialog->focusWidget() : dialog.get(),
                                &enter);
        EXPECT_EQ(host.applied.has_value(), c.applied) << c.focus;
        EXPECT_FALSE(dialog->isVisible()) << c.focus;
    }
}

TEST_F(MiniSettingsDialogTest, ABookActsAtOnceAndCancelDoesNotApply) {
    choose(dialog->bookList(), 0);
    EXPECT_EQ(host.booksLoaded, QStringList{QStringLiteral("新概念英语第一册")});
    const QStringList lessons{"Lesson A", "Lesson B"};
    EXPECT_EQ(entries(dialog->startLessonList()), lessons);
    EXPECT_EQ(entries(dialog->endLessonList()), lessons);
    EXPECT_EQ(dialog->startLessonList()->currentIndex(), 0);
    // The switch has acted: the range is the whole new book.
    EXPECT_EQ(dialog->endLessonList()->currentIndex(), 1);

    dialog->cancelButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(host.applied.has_value());
    EXPECT_EQ(host.booksLoaded.size(), 1);
}

// 取消, the close button and Escape only close: what already acted stays done.
TEST_F(MiniSettingsDialogTest, RepeatAndPauseActAtOnceWhicheverWayTheDialogCloses) {
    const std::function<void()> closers[] = {
        [this] { dialog->cancelButton()->click(); },
        [this] { dialog->closeButton()->click(); },
        [this] {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog.get(), &escape);
        },
    };
    int round = 0;
    for (const auto &closeDialog : closers) {
        dialog->open();
        host.repeatsSet.clear();
        host.pausesSet.clear();
        choose(dialog->repeatList(), QStringLiteral("5"));
        choose(dialog->pauseList(), QStringLiteral("60"));
        EXPECT_EQ(host.repeatsSet, QStringList{"5"}) << round;
        EXPECT_EQ(host.pausesSet, QStringList{"60"}) << round;
        closeDialog();
        EXPECT_FALSE(dialog->isVisible()) << round;
        EXPECT_FALSE(host.applied.has_value()) << round;
        EXPECT_EQ(host.repeatsSet, QStringList{"5"}) << round;
        ++round;
    }
    EXPECT_EQ(dialog->closeButton()->accessibleName(), QStringLiteral("关闭"));
}

TEST_F(MiniSettingsDialogTest, OkAppliesTheRangeAndTheSwatchesEvenWithThePaletteOpen) {
    choose(dialog->startLessonList(), 1);
    choose(dialog->endLessonList(), 2);
    press(dialog->textSwatch(), {5, 5});
    press(dialog->colourPalette(), ColourPalette::swatchRect(12).center());
    press(dialog->backgroundSwatch(), {5, 5});
    ASSERT_TRUE(dialog->colourPalette()->isVisible());

    dialog->okButton()->click();
    ASSERT_TRUE(host.applied.has_value());
    EXPECT_EQ(host.applied->book, QStringLiteral("新概念英语第一册"));
    EXPECT_EQ(host.applied->start, 1);
    EXPECT_EQ(host.applied->endLesson, "Lesson 3");
    EXPECT_EQ(host.applied->background, QColor(29, 56, 91));
    EXPECT_EQ(host.applied->text, QColor(255, 0, 0));
    EXPECT_FALSE(dialog->isVisible());
}

struct PickCase {
    bool background;
    int left; // twips inside the palette
    int top;
    QColor colour;
    int index;
};

class PalettePick : public MiniSettingsDialogTest,
                    public ::testing::WithParamInterface<PickCase> {};

// The palette opens at the clicked swatch's left, highlights the swatch under the mouse 30 twips
// out on every side, and a press copies that swatch's colour into the swatch it was opened for.
TEST_P(PalettePick, HighlightsAndCopiesTheColourIntoTheTarget) {
    const PickCase c = GetParam();
    ColourSwatch *target = c.background ? dialog->backgroundSwatch() : dialog->textSwatch();
    ColourSwatch *other = c.background ? dialog->textSwatch() : dialog->backgroundSwatch();
    const QColor otherBefore = other->colour();
    ColourPalette *palette = dialog->colourPalette();

    press(target, {5, 5});
    EXPECT_EQ(dialog->paletteTarget(), c.background ? MiniSettingsDialog::PaletteTarget::Background
                                                    : MiniSettingsDialog::PaletteTarget::Text);
    ASSERT_TRUE(palette->isVisible());
    EXPECT_EQ(palette->x(), dialog->appearanceGroup()->x() + target->x());
    EXPECT_TRUE(dialog->rect().contains(palette->geometry()));
    EXPECT_EQ(palette->highlighted(), -1);

    const QPoint inside = twipsPoint(c.left + 30, c.top + 30);
    mouse(palette, QEvent::MouseMove, inside, Qt::NoButton);
    EXPECT_EQ(palette->highlighted(), c.index);
    EXPECT_EQ(palette->highlightRect(), Twips::rect(c.left - 30, c.top - 30, 375, 285));
    mouse(palette, QEvent::MouseMove, twipsPoint(60, 60), Qt::NoButton); // between swatches
    EXPECT_EQ(palette->highlighted(), c.index);

    press(palette, inside);
    EXPECT_EQ(target->colour(), c.colour);
    EXPECT_EQ(other->colour(), otherBefore);
    EXPECT_FALSE(palette->isVisible());
    EXPECT_EQ(palette->highlighted(), -1);
}

INSTANTIATE_TEST_SUITE_P(MiniSettingsDialog, PalettePick,
                         ::testing::Values(PickCase{true, 120, 120, QColor(0, 0, 0), 0},
                                           PickCase{false, 1215, 120, QColor(192, 0, 0), 3},
                                           PickCase{true, 480, 405, QColor(29, 56, 91), 5},
                                           PickCase{false, 120, 690, QColor(240, 247, 255), 11},
                                           PickCase{true, 1215, 690, QColor(192, 192, 192), 8},
                                           PickCase{false, 855, 975, QColor(0, 128, 128), 14}));

TEST_F(MiniSettingsDialogTest, APressOnTheBackgroundOrAGroupClosesThePalette) {
    QWidget *const places[] = {dialog.get(), dialog->playGroup(), dialog->courseGroup(),
                               dialog->appearanceGroup()};
    for (QWidget *place : places) {
        press(dialog->textSwatch(), {5, 5});
        ASSERT_TRUE(dialog->colourPalette()->isVisible());
        press(place, {3, place->height() - 3});
        EXPECT_FALSE(dialog->colourPalette()->isVisible()) << place->objectName().toStdString();
        EXPECT_EQ(dialog->textSwatch()->colour(), QColor(255, 255, 0));
    }
}

// Only a press on the dialog's own background drags it.
TEST_F(MiniSettingsDialogTest, DraggingTheBackgroundMovesTheDialog) {
    dialog->move(100, 100);
    const QPoint start = dialog->pos();
    mouse(dialog.get(), QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton);
    mouse(dialog.get(), QEvent::MouseMove, {34, 24}, Qt::LeftButton);
    EXPECT_EQ(dialog->pos(), start + QPoint(30, 20));
    mouse(dialog.get(), QEvent::MouseButtonRelease, {34, 24}, Qt::NoButton);
    mouse(dialog.get(), QEvent::MouseMove, {60, 60}, Qt::NoButton);
    EXPECT_EQ(dialog->pos(), start + QPoint(30, 20));

    QGroupBox *group = dialog->courseGroup();
    mouse(group, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton);
    mouse(dialog.get(), QEvent::MouseMove, {80, 80}, Qt::LeftButton);
    EXPECT_EQ(dialog->pos(), start + QPoint(30, 20));
}

// A screen reader finds the painted swatches by name and picks a palette colour by its action.
TEST_F(MiniSettingsDialogTest, SwatchesAndPaletteColoursAreNamedButtons) {
    const struct {
        QWidget *widget;
        const char *name;
        const char *colour;
    } swatches[] = {{dialog->backgroundSwatch(), "背景颜色", "#1D385B"},
                    {dialog->textSwatch(), "字体颜色", "#FFFF00"}};
    for (const auto &s : swatches) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(s.widget);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::PushButton);
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromUtf8(s.name));
        EXPECT_EQ(iface->text(QAccessible::Description), QString::fromUtf8(s.colour));
    }

    press(dialog->textSwatch(), {5, 5});
    QAccessibleInterface *palette = QAccessible::queryAccessibleInterface(dialog->colourPalette());
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->childCount(), ColourPalette::swatchCount);
    for (int i = 0; i < ColourPalette::swatchCount; ++i) {
        EXPECT_EQ(palette->child(i)->text(QAccessible::Name), QStringLiteral("颜色 %1").arg(i + 1));
        EXPECT_EQ(palette->child(i)->role(), QAccessible::PushButton);
    }
    palette->child(13)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->textSwatch()->colour(), QColor(0, 0, 255));
    EXPECT_FALSE(dialog->colourPalette()->isVisible());
}

} // namespace
