#pragma once

#include <QAccessible>
#include <QRect>
#include <QString>

class QWidget;

// What assistive technology is told about a widget that paints itself, or about one part of
// it that has no widget of its own (a sentence row, a play icon).
struct AccessiblePart {
    QAccessible::Role role = QAccessible::StaticText;
    QString name;
    QString description;
    QRect rect; // the widget's pixels; parts only (the widget itself has its geometry)
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    // It has an action: a press, or a toggle where it is checkable.
    bool pressable = false;
};

// Mixed into a painted widget so that screen readers (and tests driving the window by name)
// see it as the control it looks like. The widget describes itself and its parts on demand;
// the interfaces built from that (PaintedControlAccessible::install()) never copy the
// description, so it can never go stale. Nothing here costs anything while no assistive
// technology asks.
class AccessibleControl {
public:
    static constexpr int self = -1;

    virtual ~AccessibleControl() = default;

    // part is self or 0 <= part < accessiblePartCount(). Called often and for many parts:
    // build the answer from the widget's values, without painting or layout work.
    virtual AccessiblePart accessiblePart(int part) const = 0;
    // The part's press or toggle action: what a mouse click on it does. Runs from the event
    // loop, never inside the assistive technology's call.
    virtual void pressAccessiblePart(int part) = 0;
    virtual int accessiblePartCount() const { return 0; }
    // Changes whenever the parts are numbered anew (not merely counted anew): the parts known
    // to assistive technology are then dropped, so that none of them turns into another.
    virtual quint64 accessiblePartLayout() const { return 0; }
    // The part under a point of the widget, or self. The default looks through every part;
    // a widget with many parts answers from its own hit test.
    virtual int accessiblePartAt(QPoint widgetPos) const;

protected:
    // Tell listening assistive technology that w's name, description or state changed.
    // No-ops while none listens.
    static void announceNameChanged(QWidget *w);
    static void announceDescriptionChanged(QWidget *w);
    static void announceStateChanged(QWidget *w, QAccessible::State changed);
};
