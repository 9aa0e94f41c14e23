#pragma once

#include "desktop/accessiblecontrol.h"

#include <QColor>
#include <QRect>
#include <QWidget>

// The pop-up panel of 16 colours the settings dialog offers for the text and the background.
// The swatches are 315 x 225 twips in four rows; a highlight frames the swatch the mouse last
// moved over. A left press on a swatch reports picked(index). Assistive technology sees each
// swatch as a push button "颜色 1".."颜色 16" that picks it.
class ColourPalette : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    static constexpr int swatchCount = 16;
    static constexpr int swatchWidthTwips = 315;
    static constexpr int swatchHeightTwips = 225;
    static constexpr int widthTwips = 1650;
    static constexpr int heightTwips = 1320;
    // The highlight stands this far out from its swatch on every side.
    static constexpr int highlightOutsetTwips = 30;

    struct Swatch {
        int left; // twips inside the panel
        int top;
        QColor colour;
    };
    static Swatch swatch(int index);
    static QRect swatchRect(int index); // pixels inside the panel

    explicit ColourPalette(QWidget *parent = nullptr);

    // The swatch under a point of the panel, or -1.
    int swatchAt(QPoint pos) const;
    // The swatch the highlight frames, or -1 while it is hidden.
    int highlighted() const { return m_highlighted; }
    QRect highlightRect() const; // pixels; empty while hidden
    void hideHighlight();

    int accessiblePartCount() const override { return swatchCount; }
    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int part) override;

Q_SIGNALS:
    void picked(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void highlight(int index);

    int m_highlighted = -1;
};
