#include "accessiblecontrol.h"

#include <QAccessibleEvent>
#include <QWidget>

int AccessibleControl::accessiblePartAt(QPoint widgetPos) const {
    // Later parts are painted over earlier ones.
    for (int part = accessiblePartCount() - 1; part >= 0; --part) {
        const AccessiblePart p = accessiblePart(part);
        if (p.visible && p.rect.contains(widgetPos))
            return part;
    }
    return self;
}

void AccessibleControl::announceNameChanged(QWidget *w) {
    // Asking for the event's interface would build one even while nobody listens.
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(w, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void AccessibleControl::announceDescriptionChanged(QWidget *w) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(w, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void AccessibleControl::announceStateChanged(QWidget *w, QAccessible::State changed) {
    if (!QAccessible::isActive())
        return;
    QAccessibleStateChangeEvent event(w, changed);
    QAccessible::updateAccessibility(&event);
}
