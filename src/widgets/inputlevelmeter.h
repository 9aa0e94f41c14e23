#pragma once

#include "desktop/accessiblecontrol.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

// The microphone's level on the follow-read page, drawn as one more lane beside the
// waveforms: a bar on a decibel scale from -60 dBFS to full scale, the recent peak as a
// tick, and a warm end and "音量过大" while the voice clips. It only paints what it is given:
// levels while the microphone is heard (live), and a resting text otherwise.
class InputLevelMeter : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    explicit InputLevelMeter(QWidget *parent = nullptr);

    // The loudest sample since the last level, 0 to 1 of full scale; clipped: it reached
    // full scale. A clip stays shown for clipHoldMs.
    void setLevel(double peak, bool clipped);
    // Nothing is heard now: the bar empties and text stands in the status place.
    void setResting(const QString &text);

    bool live() const { return m_live; }
    double level() const { return m_level; }
    bool clipping() const;
    // What the status place says: the level in words, or the resting text.
    QString statusText() const;

    // 0 to 1 along the bar for a level (0 to 1 of full scale).
    static double barFraction(double level);

    static constexpr int clipHoldMs = 1500;
    static constexpr double floorDb = -60;

    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int) override {}

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF barRect() const;

    bool m_live = false;
    double m_level = 0;
    double m_hold = 0; // the recent peak, falling back slowly
    QElapsedTimer m_clippedAt;
    QString m_resting;
};
