#include "keycapture.h"

#include <QKeyEvent>

KeyCapture::KeyCapture(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Combo4"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 1, 1);
}

void KeyCapture::keyPressEvent(QKeyEvent *event) {
    Q_EMIT keyPressed(event->key());
    event->accept();
}
