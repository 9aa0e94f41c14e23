#include "picturelabel.h"

#include "text/fonts.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int pictureSize = 13; // the skin's tick and radio pictures are 13 x 13 pixels
constexpr int gap = 6;

struct PictureMeaning {
    QAccessible::Role role = QAccessible::StaticText;
    bool checked = false;
};

PictureMeaning meaningOf(const QString &path) {
    const QString file = path.section(u'/', -1).toLower();
    if (file == u"0.jpg")
        return {QAccessible::CheckBox, false};
    if (file == u"1.jpg" || file == u"a1.jpg")
        return {QAccessible::CheckBox, true};
    if (file == u"f.jpg")
        return {QAccessible::RadioButton, false};
    if (file == u"t.jpg")
        return {QAccessible::RadioButton, true};
    return {};
}
} // namespace

void PictureLabel::changeEvent(QEvent *event) {
    if (event->type() == QEvent::EnabledChange) {
        // A disabled option is no place to click: no pointing hand over it.
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
        QAccessible::State changed;
        changed.disabled = true;
        announceStateChanged(this, changed);
    }
    QWidget::changeEvent(event);
}

PictureLabel::PictureLabel(QWidget *parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    QFont font = labelFont();
    font.setPixelSize(13);
    setFont(font);
}

void PictureLabel::setCaption(const QString &caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
    announceNameChanged(this);
}

void PictureLabel::setPicture(const QPixmap &picture, const QString &path) {
    if (path == m_picturePath && !picture.isNull() == !m_picture.isNull())
        return;
    const PictureMeaning before = meaningOf(m_picturePath);
    m_picture = picture;
    m_picturePath = path;
    update();
    const PictureMeaning after = meaningOf(m_picturePath);
    if (after.checked != before.checked) {
        QAccessible::State changed;
        changed.checked = true;
        announceStateChanged(this, changed);
    }
}

AccessiblePart PictureLabel::accessiblePart(int) const {
    const PictureMeaning meaning = meaningOf(m_picturePath);
    AccessiblePart part;
    part.role = meaning.role;
    part.name = m_caption.trimmed();
    part.checkable = meaning.role != QAccessible::StaticText;
    part.checked = meaning.checked;
    part.pressable = part.checkable;
    part.enabled = isEnabled();
    return part;
}

void PictureLabel::pressAccessiblePart(int) {
    Q_EMIT clicked();
}

void PictureLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const int top = (height() - pictureSize) / 2;
    // An option that cannot be chosen is drawn faint, as disabled controls are.
    if (!isEnabled())
        painter.setOpacity(0.4);
    // A missing picture leaves an empty place, as an empty image would.
    if (!m_picture.isNull())
        painter.drawPixmap(QRect(0, top, pictureSize, pictureSize), m_picture);
    painter.setPen(QColor(0x34, 0x40, 0x4C));
    painter.drawText(QRect(pictureSize + gap, 0, width() - pictureSize - gap, height()),
                     Qt::AlignLeft | Qt::AlignVCenter, m_caption.trimmed());
}

void PictureLabel::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
