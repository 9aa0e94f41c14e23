#pragma once

#include "desktop/accessiblecontrol.h"

#include <QColor>
#include <QWidget>

// A colour the learner can change (the settings dialog's 字体颜色 and 背景颜色): a painted
// tile of the colour; a left press reports clicked(). Assistive technology sees a push button
// named by the caption beside it, with the colour as its description.
class ColourSwatch : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    ColourSwatch(const QString &name, QWidget *parent = nullptr);

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);

    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int part) override;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_name;
    QColor m_colour = Qt::white;
    bool m_hover = false;
};
