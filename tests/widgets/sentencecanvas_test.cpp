#include "desktop/paintedcontrolaccessible.h"
#include "text/fontmeasurer.h"
#include "text/fonts.h"
#include "widgets/sentencecanvas.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

QString lessonText(int count) {
    QString text = QStringLiteral("*");
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("Sentence number %1 is here.#第%1句在这里。#1.0#2.0#*").arg(i);
    return text;
}

// Dark pixels (any channel below 128) inside a rectangle of the image.
int darkPixels(const QImage &image, const QRect &rect) {
    int dark = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 128 && c.green() < 128 && c.blue() < 128)
                ++dark;
        }
    return dark;
}

int nonWhitePixels(const QImage &image, const QRect &rect) {
    int count = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += image.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
    return count;
}

QRect pixels(const TwipRect &box, int canvasTop = 0) {
    return QRect(box.left / 15, (box.top + canvasTop) / 15, box.width / 15, box.height / 15);
}

class SentenceCanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        installFontSubstitutions();
        measurer = std::make_unique<FontMeasurer>();
        canvas.setMeasurer(measurer.get());
    }
    void load(int count) {
        rows =
            layoutRows(SentenceTable::fromText(lessonText(count)), RowTemplate(), *measurer).rows;
        canvas.setRows(&rows);
    }
    QImage shot() { return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    void send(QEvent::Type type, QPointF pos, Qt::MouseButton button) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, pos, canvas.mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
    }
    QPointF centreOf(const TwipRect &box) const {
        return QPointF((box.left + box.width / 2.0) / 15 * canvas.scale(),
                       (box.top + box.height / 2.0 + canvas.canvasTop()) / 15 * canvas.scale());
    }

    std::unique_ptr<FontMeasurer> measurer;
    SentenceCanvas canvas;
    std::vector<SentenceRow> rows;
};

TEST_F(SentenceCanvasTest, ViewportSizeFollowsTheScale) {
    EXPECT_EQ(canvas.size(), QSize(585, 388));
    canvas.setScale(2.0);
    EXPECT_EQ(canvas.size(), QSize(1170, 776));
}

TEST_F(SentenceCanvasTest, PaintsRowTextDarkOnWhite) {
    load(3);
    const QImage image = shot();
    const SentenceRow &row = rows[0];
    EXPECT_GT(darkPixels(image, pixels(row.Label6.box)), 40);
    EXPECT_GT(darkPixels(image, pixels(row.Label8.box)), 20);
    // Right of the English text and in the gap between the rows: white canvas.
    EXPECT_EQ(nonWhitePixels(image, QRect(pixels(row.Label6.box).right() + 10, 16, 60, 21)), 0);
    EXPECT_EQ(nonWhitePixels(image, QRect(0, 0, 585, 14)), 0);
}

TEST_F(SentenceCanvasTest, HiddenColourPaintsNothingAndKeepsTheLayout) {
    load(2);
    const RgbColour hidden = RowTemplate().hiddenColour(true);
    rows[0].Label8.colour = hidden;
    canvas.update();
    const QImage image = shot();
    EXPECT_EQ(nonWhitePixels(image, pixels(rows[0].Label8.box)), 0);
    EXPECT_GT(darkPixels(image, pixels(rows[1].Label8.box)), 20);
}

TEST_F(SentenceCanvasTest, UnderlineAndPlayIconShowWhenSet) {
    load(1);
    SentenceRow &row = rows[0];
    row.Label12.visible = false; // the icon takes the number's place
    canvas.update();
    const QRect underline(row.Line3.x1 / 15, row.Line3.y / 15, (row.Line3.x2 - row.Line3.x1) / 15,
                          1);
    const QRect icon = pixels(row.Image2.box);
    QImage image = shot();
    EXPECT_EQ(nonWhitePixels(image, underline), 0);
    EXPECT_EQ(nonWhitePixels(image, icon), 0);

    row.Line3.visible = true;
    row.Image2.visible = true;
    canvas.update();
    image = shot();
    EXPECT_GT(nonWhitePixels(image, underline), underline.width() / 2);
    EXPECT_GT(nonWhitePixels(image, icon), icon.width() * icon.height() / 3);
}

TEST_F(SentenceCanvasTest, ScrolledCanvasShowsLaterRows) {
    load(20);
    canvas.setCanvasTop(-rows[1].Label6.box.top + 240);
    const QImage image = shot();
    // Row 2 now stands where row 1 stood; row 1 is above the viewport.
    EXPECT_GT(darkPixels(image, pixels(rows[1].Label6.box, canvas.canvasTop())), 40);
    EXPECT_EQ(canvas.lastPaintedRows().first, 0); // row 1's Chinese line still shows a little
    EXPECT_EQ(canvas.hitAt(centreOf(rows[1].Label6.box)),
              (RowHit{2, RowElement::EnglishClickArea}));
}

TEST_F(SentenceCanvasTest, PaintsOnlyTheRowsInTheViewport) {
    load(32767);
    canvas.setCanvasTop(-rows[20000].Label6.box.top);
    const QImage image = shot();
    const auto [first, last] = canvas.lastPaintedRows();
    EXPECT_GE(first, 19998);
    EXPECT_LE(last - first, 12);
    EXPECT_GT(darkPixels(image, pixels(rows[20000].Label6.box, canvas.canvasTop())), 40);
}

TEST_F(SentenceCanvasTest, WrappedLinesStayInsideTheirBox) {
    QString longEnglish;
    for (int i = 0; i < 30; ++i)
        longEnglish += QStringLiteral("many words ");
    rows = layoutRows(SentenceTable::fromText(QStringLiteral("*") + longEnglish +
                                              QStringLiteral("#短。#1#2#*Next.#下一句。#3#4#*")),
                      RowTemplate(), *measurer)
               .rows;
    ASSERT_GT(rows[0].Label6.lines, 1);
    canvas.setRows(&rows);
    const QImage image = shot();
    const QRect box = pixels(rows[0].Label6.box);
    EXPECT_GT(darkPixels(image, box.adjusted(0, 0, 0, 21 - box.height())), 40);
    EXPECT_GT(darkPixels(image, box.adjusted(0, 21, 0, 42 - box.height())), 40);
    // Nothing right of the box.
    EXPECT_EQ(nonWhitePixels(image, QRect(box.right() + 4, box.top(), 20, box.height())), 0);
}

TEST_F(SentenceCanvasTest, PressAndReleaseReportTheElementAndButton) {
    load(3);
    std::vector<std::pair<RowHit, Qt::MouseButton>> pressed;
    std::vector<std::pair<RowHit, Qt::MouseButton>> released;
    QObject::connect(&canvas, &SentenceCanvas::rowPressed,
                     [&](RowHit hit, Qt::MouseButton b) { pressed.emplace_back(hit, b); });
    QObject::connect(&canvas, &SentenceCanvas::rowReleased,
                     [&](RowHit hit, Qt::MouseButton b) { released.emplace_back(hit, b); });
    for (SentenceRow &row : rows) {
        row.Label17.visible = false;
        row.Label18.visible = false;
    }

    send(QEvent::MouseButtonPress, centreOf(rows[1].Label6.box), Qt::LeftButton);
    // Released over the background: the release still belongs to the English line.
    send(QEvent::MouseButtonRelease, QPointF(580, 380), Qt::LeftButton);
    send(QEvent::MouseButtonPress, centreOf(rows[2].Label8.box), Qt::RightButton);
    send(QEvent::MouseButtonRelease, centreOf(rows[2].Label8.box), Qt::RightButton);
    send(QEvent::MouseButtonPress, QPointF(500, 350), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPointF(500, 350), Qt::LeftButton);

    ASSERT_EQ(pressed.size(), 3u);
    ASSERT_EQ(released.size(), 3u);
    EXPECT_EQ(pressed[0].first, (RowHit{2, RowElement::EnglishLine}));
    EXPECT_EQ(released[0].first, (RowHit{2, RowElement::EnglishLine}));
    EXPECT_EQ(pressed[1].first, (RowHit{3, RowElement::ChineseLine}));
    EXPECT_EQ(pressed[1].second, Qt::RightButton);
    EXPECT_EQ(released[1].second, Qt::RightButton);
    EXPECT_EQ(pressed[2].first, RowHit{});
}

TEST_F(SentenceCanvasTest, PointingHandShowsOverEveryLineThatHasIt) {
    // The recall views' strips lie over the lines they reveal; the hand must show through.
    struct Case {
        const char *mode;
        bool englishHand, englishStrip, chineseHand, chineseStrip;
    };
    const Case cases[] = {
        {"full text", true, false, false, false},
        {"recall Chinese", false, false, true, true},
        {"recall English", true, true, false, false},
    };
    load(3);
    const RowTemplate tpl;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        paintRowLines(rows, tpl, true, c.englishHand ? RowCursor::PointingHand : RowCursor::Default,
                      true, c.chineseHand ? RowCursor::PointingHand : RowCursor::Default);
        for (SentenceRow &row : rows) {
            row.Label18.visible = c.englishStrip;
            row.Label17.visible = c.chineseStrip;
        }
        canvas.update();
        for (int i : {0, 2}) {
            const auto hand = [](bool on) { return on ? Qt::PointingHandCursor : Qt::ArrowCursor; };
            send(QEvent::MouseMove, centreOf(rows[size_t(i)].Label6.box), Qt::NoButton);
            EXPECT_EQ(canvas.cursor().shape(), hand(c.englishHand)) << "English line " << i + 1;
            send(QEvent::MouseMove, centreOf(rows[size_t(i)].Label8.box), Qt::NoButton);
            EXPECT_EQ(canvas.cursor().shape(), hand(c.chineseHand)) << "Chinese line " << i + 1;
        }
    }
}

TEST_F(SentenceCanvasTest, HitTestingFollowsTheScale) {
    load(3);
    canvas.setScale(1.5);
    EXPECT_EQ(canvas.hitAt(centreOf(rows[2].Label8.box)),
              (RowHit{3, RowElement::ChineseClickArea}));
    // Beyond the canvas's right edge (the scroll column) is background.
    EXPECT_EQ(canvas.hitAt(QPointF(8500 / 15.0 * 1.5, centreOf(rows[0].Label18.box).y())),
              RowHit{});
}

TEST_F(SentenceCanvasTest, WheelNotchesBecomeSteps) {
    std::vector<int> steps;
    QObject::connect(&canvas, &SentenceCanvas::wheelSteps, [&](int s) { steps.push_back(s); });
    const auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(100, 100), canvas.mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas, &event);
    };
    wheel(-120); // towards the learner: down
    wheel(240);
    wheel(60); // half a notch waits for the other half
    wheel(60);
    EXPECT_EQ(steps, (std::vector<int>{1, -2, -1}));
}

TEST_F(SentenceCanvasTest, NoteShowsOnlyWithoutRows) {
    canvas.setNote(QStringLiteral("本课还没有句子。"));
    const QRect middle(100, 150, 385, 120);
    EXPECT_GT(nonWhitePixels(shot(), middle), 50);
    load(1);
    EXPECT_EQ(nonWhitePixels(shot(), middle), 0);
    canvas.setRows(nullptr);
    canvas.setNote(QString());
    EXPECT_EQ(nonWhitePixels(shot(), canvas.rect()), 0);
}

// What a screen reader finds in the list: a play icon is a push button with its press while
// it shows and is no part of the list while no icon shows; the rows keep their names either way.
TEST_F(SentenceCanvasTest, PlayIconsAreInTheListOnlyWhileTheyShow) {
    PaintedControlAccessible::install();
    load(3);
    canvas.show(); // a part of a hidden widget is hidden whatever it describes
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&canvas);
    ASSERT_TRUE(list);
    const struct {
        const char *name;
        std::vector<bool> icons; // Image2.visible per row
        QStringList roles;       // what the list holds, in order ("button", "row")
    } cases[] = {
        {"noneShows", {false, false, false}, {"row", "row", "row"}},
        {"allShow", {true, true, true}, {"button", "row", "button", "row", "button", "row"}},
        {"noneAgain", {false, false, false}, {"row", "row", "row"}},
        // One hidden among shown icons keeps its place, marked invisible and without action.
        {"oneHidden", {true, false, true}, {"button", "row", "hidden", "row", "button", "row"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i].Image2.visible = c.icons[i];
        QStringList roles;
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface *part = list->child(i);
            ASSERT_TRUE(part && part->isValid());
            auto *actions = part->actionInterface();
            const bool pressable = actions && !actions->actionNames().isEmpty();
            if (part->role() == QAccessible::PushButton) {
                const bool hidden = part->state().invisible;
                EXPECT_EQ(pressable, !hidden) << i;
                roles << (hidden ? "hidden" : "button");
            } else {
                EXPECT_EQ(part->role(), QAccessible::ListItem);
                EXPECT_TRUE(part->text(QAccessible::Name)
                                .startsWith(QStringLiteral("%1. ").arg(
                                    roles.count(QStringLiteral("row")) + 1)))
                    << part->text(QAccessible::Name).toStdString();
                roles << "row";
            }
        }
        EXPECT_EQ(roles, c.roles);
    }
}

} // namespace
