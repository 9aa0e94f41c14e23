#pragma once

#include "content/rowlayout.h"
#include "desktop/accessiblecontrol.h"
#include "text/boxtextwrap.h"

#include <QHash>
#include <QWidget>
#include <memory>
#include <vector>

class FontMeasurer;

// The canvas (Picture2) as the lesson panel's viewport shows it: a viewport-sized widget
// with the canvas drawn at canvasTop. It paints the sentence rows that meet the viewport,
// straight from their values, and turns presses and releases into row hits on the same
// geometry. Nothing here changes a row: the study code does that and calls update().
//
// Units: positions in the rows and in this interface are twips; on screen
// pixels = twips / 15 * scale.
//
// To assistive technology the canvas is a list read from the rows when asked: per row, while
// the play icons show, the icon, a push button whose press is a click on it, and then the
// row itself with its number and lines, each line's text or that it is hidden; a row whose
// line takes clicks (full text, recall) presses that line. While no icon shows, only the rows.
class SentenceCanvas : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    explicit SentenceCanvas(QWidget *parent = nullptr);
    ~SentenceCanvas() override;

    // Glyph tables for wrapping; nullptr uses the canvas's own. A shared measurer must
    // outlive the canvas.
    void setMeasurer(const FontMeasurer *measurer);

    // The rows to show (rows[i - 1] is row i), read at every paint; nullptr shows none. Call
    // again after the rows were rebuilt, and update() after changing colours or flags.
    void setRows(const std::vector<SentenceRow> *rows);
    void setCanvasTop(int twips);
    int canvasTop() const { return m_canvasTop; }
    void setCanvasHeight(int twips);
    // A quiet line centred on the canvas while there are no rows; empty for none.
    void setNote(const QString &note);
    QString note() const { return m_note; }

    // Screen pixels per 96-dpi pixel; the widget's size follows.
    void setScale(double scale);
    double scale() const { return m_scale; }

    // What the widget point lies on: canvas point = (x, y - canvasTop) in twips. Beyond the
    // canvas's right edge everything is background.
    RowHit hitAt(QPointF widgetPos) const;
    QPointF canvasTwipsAt(QPointF widgetPos) const;
    // The rows (0-based, [first, last)) the last paint drew, for tests and diagnostics.
    std::pair<int, int> lastPaintedRows() const { return m_lastPainted; }

    // While the play icons show, part 2(i - 1) is row i's play icon and part 2(i - 1) + 1
    // the row; otherwise part i - 1 is row i.
    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int part) override;
    int accessiblePartCount() const override;
    int accessiblePartAt(QPoint widgetPos) const override;
    quint64 accessiblePartLayout() const override;

    static constexpr int viewportWidthTwips = 8775;
    static constexpr int viewportHeightTwips = 5818;
    static constexpr int canvasWidthTwips = 8460;

Q_SIGNALS:
    // A release goes to what the press hit, wherever the mouse is let go (the element that
    // took the press keeps the mouse until the release).
    void rowPressed(RowHit hit, Qt::MouseButton button);
    void rowReleased(RowHit hit, Qt::MouseButton button);
    // Wheel notches: positive when the learner scrolls down (the canvas moves up).
    void wheelSteps(int steps);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct PartOfRow {
        int row = 0; // 1-based
        bool icon = false;
    };
    bool playIconsShown() const;
    PartOfRow partOfRow(int part) const;
    void paintRow(class QPainter &painter, int index, double bandTop, double bandBottom);
    void paintLine(QPainter &painter, int index, const RowText &line, LineFont font, double bandTop,
                   double bandBottom);
    void paintNote(QPainter &painter);
    const BoxTextLines &wrapped(int index, const RowText &line, LineFont font);
    void updateCursor(QPointF widgetPos);
    QRect pixelRect(int left, int top, int width, int height) const;

    std::unique_ptr<FontMeasurer> m_ownMeasurer;
    const FontMeasurer *m_measurer = nullptr;
    const std::vector<SentenceRow> *m_rows = nullptr;
    int m_canvasTop = 0;
    int m_canvasHeight = viewportHeightTwips;
    QString m_note;
    double m_scale = 1.0;
    RowHit m_pressed;
    bool m_hasPress = false;
    int m_wheelRemainder = 0;
    Qt::CursorShape m_cursor = Qt::ArrowCursor;
    std::pair<int, int> m_lastPainted{0, 0};

    struct CachedWrap {
        const QChar *data = nullptr;
        qsizetype size = 0;
        int width = 0;
        int lines = 0;
        BoxTextLines result;
    };
    QHash<quint64, CachedWrap> m_wrapCache;
};
