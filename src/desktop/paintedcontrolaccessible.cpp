#include "paintedcontrolaccessible.h"

#include "accessiblecontrol.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

QStringList actionsOf(const AccessiblePart &part) {
    if (!part.pressable || !part.enabled)
        return {};
    return {part.checkable ? QAccessibleActionInterface::toggleAction()
                           : QAccessibleActionInterface::pressAction()};
}

// The press runs from the event loop: what it starts may open a modal message box, which
// must not hold the assistive technology's call open until the box is closed.
void pressLater(QWidget *widget, AccessibleControl *control, int part) {
    QTimer::singleShot(0, widget, [widget = QPointer<QWidget>(widget), control, part] {
        if (!widget)
            return;
        const int count = control->accessiblePartCount();
        if (part != AccessibleControl::self && part >= count)
            return;
        const AccessiblePart now = control->accessiblePart(part);
        if (now.pressable && now.enabled && widget->isEnabled())
            control->pressAccessiblePart(part);
    });
}

void addStates(QAccessible::State &state, const AccessiblePart &part) {
    if (part.checkable) {
        state.checkable = true;
        state.checked = part.checked;
    }
    if (!part.enabled)
        state.disabled = true;
    if (!part.visible)
        state.invisible = true;
}

// One part of a painted widget. It has no QObject of its own; its parent interface keeps
// it registered under a stable id.
class PartAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PartAccessible(QWidget *widget, AccessibleControl *control, int part)
        : m_widget(widget), m_control(control), m_part(part) {}

    int part() const { return m_part; }
    QWidget *widget() const { return m_widget; }

    bool isValid() const override { return m_widget && m_part < m_control->accessiblePartCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override {
        return m_widget ? m_widget->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override {
        return m_widget ? QAccessible::queryAccessibleInterface(m_widget) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name:
            return describe().name;
        case QAccessible::Description:
            return describe().description;
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = describe().rect;
        return QRect(m_widget->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override {
        return isValid() ? describe().role : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const AccessiblePart p = describe();
        addStates(state, p);
        if (!m_widget->isVisible())
            state.invisible = true;
        // Rows scrolled out of the viewport are there, only not on screen.
        if (!m_widget->rect().intersects(p.rect))
            state.offscreen = true;
        if (!m_widget->isEnabled())
            state.disabled = true;
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this)
                                                 : nullptr;
    }
    QStringList actionNames() const override {
        return isValid() && m_widget->isEnabled() ? actionsOf(describe()) : QStringList();
    }
    void doAction(const QString &actionName) override {
        if (actionNames().contains(actionName))
            pressLater(m_widget, m_control, m_part);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    AccessiblePart describe() const { return m_control->accessiblePart(m_part); }

    QPointer<QWidget> m_widget;
    AccessibleControl *m_control;
    int m_part;
};

QAccessibleInterface *paintedControlFactory(const QString &, QObject *object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *control = dynamic_cast<AccessibleControl *>(object);
    return control ? new PaintedControlAccessible(static_cast<QWidget *>(object), control)
                   : nullptr;
}

} // namespace

PaintedControlAccessible::PaintedControlAccessible(QWidget *widget, AccessibleControl *control)
    : QAccessibleWidget(widget, control->accessiblePart(AccessibleControl::self).role),
      m_control(control), m_partLayout(control->accessiblePartLayout()) {}

PaintedControlAccessible::~PaintedControlAccessible() {
    dropPartsFrom(0);
}

void PaintedControlAccessible::install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(paintedControlFactory);
}

void PaintedControlAccessible::dropPartsFrom(int count) const {
    for (auto it = m_parts.begin(); it != m_parts.end();) {
        if (it.key() >= count) {
            QAccessible::deleteAccessibleInterface(it.value());
            it = m_parts.erase(it);
        } else {
            ++it;
        }
    }
}

void PaintedControlAccessible::followPartLayout() const {
    const quint64 layout = m_control->accessiblePartLayout();
    if (layout == m_partLayout)
        return;
    m_partLayout = layout;
    dropPartsFrom(0);
}

QAccessibleInterface *PaintedControlAccessible::partInterface(int part) const {
    if (const QAccessible::Id id = m_parts.value(part)) {
        if (QAccessibleInterface *known = QAccessible::accessibleInterface(id))
            return known;
    }
    auto *made = new PartAccessible(widget(), m_control, part);
    m_parts.insert(part, QAccessible::registerAccessibleInterface(made));
    return made;
}

int PaintedControlAccessible::childCount() const {
    followPartLayout();
    const int parts = m_control->accessiblePartCount();
    if (!m_parts.isEmpty())
        dropPartsFrom(parts);
    return QAccessibleWidget::childCount() + parts;
}

QAccessibleInterface *PaintedControlAccessible::child(int index) const {
    const int widgets = QAccessibleWidget::childCount();
    if (index < widgets)
        return QAccessibleWidget::child(index);
    const int part = index - widgets;
    followPartLayout();
    return part < m_control->accessiblePartCount() ? partInterface(part) : nullptr;
}

int PaintedControlAccessible::indexOfChild(const QAccessibleInterface *child) const {
    if (child && !child->object()) {
        const auto *part = dynamic_cast<const PartAccessible *>(child);
        if (part && part->widget() == widget() && part->isValid())
            return QAccessibleWidget::childCount() + part->part();
        return -1;
    }
    return QAccessibleWidget::indexOfChild(child);
}

QAccessibleInterface *PaintedControlAccessible::childAt(int x, int y) const {
    // Child widgets lie above what the widget paints.
    const QPoint local = widget()->mapFromGlobal(QPoint(x, y));
    if (QWidget *inside = widget()->childAt(local)) {
        for (QWidget *w = inside; w; w = w->parentWidget()) {
            if (w->parentWidget() == widget())
                return QAccessible::queryAccessibleInterface(w);
        }
    }
    followPartLayout();
    const int part = m_control->accessiblePartAt(local);
    return part == AccessibleControl::self ? nullptr : partInterface(part);
}

QString PaintedControlAccessible::text(QAccessible::Text t) const {
    // A name or description the program set on the widget wins over the described one.
    const QString own = QAccessibleWidget::text(t);
    if (!own.isEmpty() && t != QAccessible::Description)
        return own;
    switch (t) {
    case QAccessible::Name:
        return m_control->accessiblePart(AccessibleControl::self).name;
    case QAccessible::Description: {
        const QString described = m_control->accessiblePart(AccessibleControl::self).description;
        return described.isEmpty() ? own : described;
    }
    default:
        return own;
    }
}

QAccessible::Role PaintedControlAccessible::role() const {
    return m_control->accessiblePart(AccessibleControl::self).role;
}

QAccessible::State PaintedControlAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    addStates(state, m_control->accessiblePart(AccessibleControl::self));
    return state;
}

QStringList PaintedControlAccessible::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames(); // the focus action, if any
    if (widget()->isEnabled())
        names = actionsOf(m_control->accessiblePart(AccessibleControl::self)) + names;
    return names;
}

void PaintedControlAccessible::doAction(const QString &actionName) {
    const QStringList own = widget()->isEnabled()
                                ? actionsOf(m_control->accessiblePart(AccessibleControl::self))
                                : QStringList();
    if (own.contains(actionName))
        pressLater(widget(), m_control, AccessibleControl::self);
    else
        QAccessibleWidget::doAction(actionName);
}
