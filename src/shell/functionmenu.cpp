#include "functionmenu.h"

#include "study/fonts.h"
#include "study/palette.h"
#include "twips.h"

#include <QFile>
#include <QHash>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

// Outside any namespace, as Q_INIT_RESOURCE requires: the icons live in a static library,
// whose resource object the linker would otherwise drop.
static void initShellIcons() {
    Q_INIT_RESOURCE(shellicons);
}

namespace {

struct ItemSpec {
    int item;
    const char16_t *caption;
    const char *icon;
    int left;
    int top;
};

constexpr ItemSpec itemSpecs[] = {
    {1, u"句子学习", "sentence", 390, 390},       {2, u"全文浏览", "fulltext", 1415, 390},
    {3, u"回想中文", "recallchinese", 2485, 390}, {4, u"回想英文", "recallenglish", 3535, 390},
    {5, u"跟读对比", "followread", 4585, 390},    {8, u"听写测试", "dictation", 5635, 390},
    {6, u"语音选项", "voiceoptions", 6825, 388},
};

const ItemSpec *specOf(int item) {
    for (const ItemSpec &spec : itemSpecs) {
        if (spec.item == item)
            return &spec;
    }
    return nullptr;
}

// Our icons are drawn in one stroke colour, "#COLOR" in the file; each use fills it in.
QPixmap svgIcon(const char *name, const QColor &colour, int size, qreal dpr) {
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(QString::fromLatin1(name), colour.name())
                            .arg(size)
                            .arg(dpr);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QFile file(QStringLiteral(":/shell/icons/%1.svg").arg(QString::fromLatin1(name)));
    QByteArray svg;
    if (file.open(QIODevice::ReadOnly))
        svg = file.readAll();
    svg.replace("#COLOR", colour.name().toLatin1());
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(dpr);
    cache.insert(key, pixmap);
    return pixmap;
}

// One area of the menu: its icon above its caption. Reports a left-button release over it.
class MenuItemArea : public QWidget {
public:
    MenuItemArea(const ItemSpec &spec, FunctionMenu *menu)
        : QWidget(menu), m_spec(spec), m_menu(menu) {
        setObjectName(QStringLiteral("MenuItem%1").arg(spec.item));
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setToolTip(QString::fromUtf16(spec.caption));
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool current = m_menu->currentItem() == m_spec.item;
        const bool hover = underMouse() && !current;
        if (hover) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0xF1, 0xF5, 0xFA));
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        }
        const QColor colour = current ? Palette::accent() : QColor(0x4E, 0x5B, 0x68);
        const int iconSize = 20;
        painter.drawPixmap((width() - iconSize) / 2, 4,
                           svgIcon(m_spec.icon, colour, iconSize, devicePixelRatioF()));
        QFont font = labelFont();
        font.setPixelSize(12);
        font.setBold(current);
        painter.setFont(font);
        painter.setPen(current ? Palette::accentPressed() : QColor(0x3A, 0x45, 0x50));
        painter.drawText(QRect(0, 26, width(), 16), Qt::AlignHCenter | Qt::AlignVCenter,
                         QString::fromUtf16(m_spec.caption));
    }
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            Q_EMIT m_menu->itemReleased(m_spec.item);
    }

private:
    const ItemSpec &m_spec;
    FunctionMenu *m_menu;
};

// The selection marker: a soft accent tile under the current item with an accent bar.
class SelectionMarker : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::accentSoft());
        painter.drawRoundedRect(QRectF(rect()).adjusted(0, 0, 0, -1), 7, 7);
        painter.setBrush(Palette::accent());
        const qreal barWidth = width() * 0.4;
        painter.drawRoundedRect(QRectF((width() - barWidth) / 2, height() - 3, barWidth, 3), 1.5,
                                1.5);
    }
};

// A text button of the strip that belongs to a later version: shown, quiet, inert.
QLabel *quietLink(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    QFont font = labelFont();
    font.setPixelSize(12);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: #8A96A3;"));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

FunctionMenu::FunctionMenu(QWidget *parent) : QWidget(parent) {
    initShellIcons();
    setObjectName(QStringLiteral("FunctionMenu"));
    m_marker = new SelectionMarker(this);
    m_marker->setObjectName(QStringLiteral("MenuMarker"));
    for (const ItemSpec &spec : itemSpecs) {
        auto *area = new MenuItemArea(spec, this);
        Twips::place(area, spec.left, spec.top, itemWidth, itemHeight);
        m_items[size_t(spec.item)] = area;
    }

    auto *brand = new QLabel(QStringLiteral("Orvessa · 英语听说训练"), this);
    QFont brandFont = labelFont();
    brandFont.setPixelSize(12);
    brand->setFont(brandFont);
    brand->setStyleSheet(QStringLiteral("color: #8A96A3;"));
    brand->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Twips::place(brand, 8400, 105, 3075, 330);
    Twips::place(quietLink(QStringLiteral("更多软件"), this), 9690, 645, 1020, 300);
    Twips::place(quietLink(QStringLiteral("迷你模式"), this), 10875, 645, 825, 300);
    moveMarkerTo(1);
}

bool FunctionMenu::hasItem(int item) {
    return specOf(item) != nullptr;
}

int FunctionMenu::studyModeOf(int item) {
    return hasItem(item) || item == 7 ? item : 0;
}

int FunctionMenu::itemLeft(int item) {
    const ItemSpec *spec = specOf(item);
    return spec ? spec->left : 0;
}

int FunctionMenu::itemTop(int item) {
    const ItemSpec *spec = specOf(item);
    return spec ? spec->top : 0;
}

QWidget *FunctionMenu::itemArea(int item) const {
    return item >= 0 && item < int(m_items.size()) ? m_items[size_t(item)] : nullptr;
}

void FunctionMenu::moveMarkerTo(int item) {
    if (!hasItem(item))
        return;
    m_current = item;
    m_markerLeft = itemLeft(item) - markerOffset;
    Twips::place(m_marker, m_markerLeft, itemTop(item), itemWidth + 2 * markerOffset, itemHeight);
    m_marker->lower();
    update();
    for (QWidget *area : m_items) {
        if (area)
            area->update();
    }
}

void FunctionMenu::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(0xE1, 0xE7, 0xEE));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}
