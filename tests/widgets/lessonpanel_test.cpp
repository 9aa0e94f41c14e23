#include "text/fontmeasurer.h"
#include "text/fonts.h"
#include "widgets/lessonpanel.h"
#include "widgets/sentencecanvas.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>

namespace {

class LessonPanelTest : public ::testing::Test {
protected:
    void SetUp() override { installFontSubstitutions(); }

    static LessonPanelState tallLesson() {
        LessonPanelState state;
        state.canvasHeight = 20000;
        state.scrollControlsVisible = true;
        return state;
    }
    static bool shown(const LessonPanel &panel, const char *name) {
        const QWidget *child = panel.findChild<QWidget *>(QString::fromLatin1(name));
        return child && child->isVisibleTo(&panel);
    }
    static void wheel(QWidget *target, int delta) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    std::vector<SentenceRow> rows;
};

TEST_F(LessonPanelTest, ScrollControlsOrDecorations) {
    LessonPanel panel(Program::Orvessa);
    LessonPanelState state = tallLesson();
    panel.bind(&state, &rows);
    for (const char *name : {"Command32", "Command33", "Image32", "Image33"})
        EXPECT_TRUE(shown(panel, name)) << name;
    for (const char *name : {"EnFaImage", "EnUnderImage"})
        EXPECT_FALSE(shown(panel, name)) << name;

    state.scrollControlsVisible = false;
    panel.refresh();
    for (const char *name : {"Command32", "Command33", "Image32", "Image33"})
        EXPECT_FALSE(shown(panel, name)) << name;
    for (const char *name : {"EnFaImage", "EnUnderImage"})
        EXPECT_TRUE(shown(panel, name)) << name;
    EXPECT_EQ(panel.findChild<QScrollBar *>(), nullptr);
}

TEST_F(LessonPanelTest, ArrowsStepAndAskForTheFocusBack) {
    LessonPanel panel(Program::Orvessa);
    LessonPanelState state = tallLesson();
    panel.bind(&state, &rows);
    int scrolled = 0;
    int focus = 0;
    QObject::connect(&panel, &LessonPanel::scrolled, [&] { ++scrolled; });
    QObject::connect(&panel, &LessonPanel::focusToCombo4Requested, [&] { ++focus; });

    auto *down = panel.findChild<QAbstractButton *>(QStringLiteral("Command33"));
    auto *up = panel.findChild<QAbstractButton *>(QStringLiteral("Command32"));
    ASSERT_TRUE(down && up);
    down->click();
    down->click();
    EXPECT_EQ(state.canvasTop, -1000);
    EXPECT_EQ(panel.canvas()->canvasTop(), -1000);
    EXPECT_GT(state.thumbTop, 255);
    up->click();
    EXPECT_EQ(state.canvasTop, -500);
    EXPECT_EQ(scrolled, 3);
    EXPECT_EQ(focus, 3);
    // The thumb widget stands where the state says.
    const QWidget *thumb = panel.findChild<QWidget *>(QStringLiteral("Image33"));
    EXPECT_EQ(thumb->y(), qRound(state.thumbTop / 15.0));
}

TEST_F(LessonPanelTest, WheelScrollsInArrowSteps) {
    LessonPanel panel(Program::Orvessa);
    LessonPanelState state = tallLesson();
    panel.bind(&state, &rows);
    wheel(panel.canvas(), -240);
    EXPECT_EQ(state.canvasTop, -1000);
    wheel(panel.findChild<QWidget *>(QStringLiteral("Image32")), 120);
    EXPECT_EQ(state.canvasTop, -500);
}

TEST_F(LessonPanelTest, DraggingTheThumbMovesTheCanvas) {
    LessonPanel panel(Program::Orvessa);
    LessonPanelState state = tallLesson();
    panel.bind(&state, &rows);
    QWidget *thumb = panel.findChild<QWidget *>(QStringLiteral("Image33"));
    ASSERT_TRUE(thumb);
    const auto mouse = [&](QEvent::Type type, double y, Qt::MouseButtons held) {
        const QPointF pos(5, y);
        QMouseEvent event(type, pos, QPointF(100, 100 + y), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(thumb, &event);
    };
    mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton);
    mouse(QEvent::MouseMove, 10000, Qt::LeftButton); // far past the down arrow
    EXPECT_EQ(state.thumbTop, 5563 - 600);
    EXPECT_EQ(state.canvasTop, 5818 - 20000);
    mouse(QEvent::MouseMove, -10000, Qt::LeftButton);
    EXPECT_EQ(state.thumbTop, 255);
    EXPECT_EQ(state.canvasTop, 0);
    mouse(QEvent::MouseButtonRelease, 0, Qt::NoButton);
}

TEST_F(LessonPanelTest, MiniScrollsWithVScroll1) {
    LessonPanel panel(Program::Mini);
    LessonPanelState state;
    state.canvasHeight = 10000;
    state.VScroll1 = scrollBarFor(10000, panel.geometry());
    panel.bind(&state, &rows);
    auto *bar = panel.findChild<QScrollBar *>(QStringLiteral("VScroll1"));
    ASSERT_TRUE(bar);
    EXPECT_FALSE(shown(panel, "Command32"));
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 10000 - 5818);
    EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
    bar->setValue(1234);
    EXPECT_EQ(state.VScroll1.value, 1234);
    EXPECT_EQ(state.canvasTop, -1234);
    EXPECT_EQ(panel.canvas()->canvasTop(), -1234);

    state.VScroll1 = scrollBarFor(3000, panel.geometry());
    state.canvasTop = 0;
    panel.refresh();
    EXPECT_FALSE(bar->isEnabled());
}

TEST_F(LessonPanelTest, ScaleResizesTheWholePanel) {
    LessonPanel panel(Program::Orvessa);
    LessonPanelState state = tallLesson();
    panel.bind(&state, &rows);
    panel.setScale(2.0);
    EXPECT_EQ(panel.size(), QSize(1170, 776));
    const QWidget *down = panel.findChild<QWidget *>(QStringLiteral("Command33"));
    EXPECT_EQ(down->geometry().bottom() + 1, panel.height());
    EXPECT_EQ(down->x(), 1128);
    panel.bind(nullptr, nullptr);
}

// What the learner sees at the panel's top edge while stepping through a lesson by the arrows
// and by the wheel: every stop but the bottom end shows the top row whole, so the topmost
// pixel lines of the canvas hold no part of a cut line.
TEST_F(LessonPanelTest, ArrowsAndWheelNeverCutTheTopLine) {
    FontMeasurer measurer;
    QString text = QStringLiteral("*");
    for (int i = 1; i <= 40; ++i) {
        const QString english =
            i % 7 == 3 ? QStringLiteral("A long sentence %1 that wraps, ").arg(i).repeated(4)
                       : QStringLiteral("Sentence number %1 is here.").arg(i);
        text += english + QStringLiteral("#第%1句在这里。#1.0#2.0#*").arg(i);
    }
    const RowLayout layout = layoutRows(SentenceTable::fromText(text), RowTemplate(), measurer);
    rows = layout.rows;
    LessonPanel panel(Program::Orvessa);
    panel.setMeasurer(&measurer);
    LessonPanelState state;
    state.canvasHeight = layout.canvasHeight;
    state.scrollControlsVisible = true;
    panel.bind(&state, &rows);
    const int bottom = panel.geometry().viewportHeight - state.canvasHeight;
    ASSERT_LT(bottom, -5000);

    const auto topEdgeInk = [&] {
        const QImage image = panel.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int dark = 0;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                dark += c.red() < 160 && c.green() < 160 && c.blue() < 160 ? 1 : 0;
            }
        return dark;
    };
    auto *down = panel.findChild<QAbstractButton *>(QStringLiteral("Command33"));
    auto *up = panel.findChild<QAbstractButton *>(QStringLiteral("Command32"));
    ASSERT_TRUE(down && up);
    const std::function<void()> moves[] = {
        [&] { down->click(); }, [&] { wheel(panel.canvas(), -120); }, [&] { up->click(); },
        [&] { wheel(panel.canvas(), 120); }};
    for (int direction = 0; direction < 2; ++direction) {
        for (int step = 0; step < 60; ++step) {
            const int before = state.canvasTop;
            moves[direction * 2 + step % 2]();
            EXPECT_EQ(panel.canvas()->canvasTop(), state.canvasTop);
            if (state.canvasTop != bottom) {
                EXPECT_EQ(topEdgeInk(), 0) << "cut at canvas top " << state.canvasTop;
            }
            if (state.canvasTop == before)
                break;
        }
        EXPECT_EQ(state.canvasTop, direction == 0 ? bottom : 0);
    }
    panel.bind(nullptr, nullptr);
}

} // namespace
