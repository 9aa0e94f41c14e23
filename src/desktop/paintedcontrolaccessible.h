#pragma once

#include <QAccessibleWidget>
#include <QHash>

class AccessibleControl;

// The accessibility interface of every widget that mixes in AccessibleControl: the widget's
// own role, name, states and action, and after the widget's child widgets one child per part
// it describes.
//
// A widget may describe tens of thousands of parts (a lesson's sentence rows), so part
// interfaces are made only when assistive technology asks for that child, are kept so that
// a part keeps its id for as long as the widget lives, and read the widget's values at every
// question. A part beyond the widget's current count is invalid and dropped the next time the
// count is read.
class PaintedControlAccessible : public QAccessibleWidget {
public:
    PaintedControlAccessible(QWidget *widget, AccessibleControl *control);
    ~PaintedControlAccessible() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

    // Installs the factory that gives these interfaces to AccessibleControl widgets. Call
    // once after the application object exists; calling again does nothing.
    static void install();

private:
    QAccessibleInterface *partInterface(int part) const;
    void dropPartsFrom(int count) const;
    // Drops every known part when the widget numbers its parts anew.
    void followPartLayout() const;

    AccessibleControl *m_control;
    mutable QHash<int, QAccessible::Id> m_parts; // part -> id in QAccessible's cache
    mutable quint64 m_partLayout = 0;
};
