#include "functionmenu.h"

#include "desktop/accessiblecontrol.h"
#include "text/fonts.h"
#include "widgets/chromebutton.h"
#include "widgets/palette.h"
#include "widgets/shellicon.h"
#include "widgets/textbutton.h"
#include "widgets/twips.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

struct MenuEntry {
    int item;
    const char16_t *caption;
    const char *icon;
    int left;
    int top;
    int width;
    int height;
};

// Item 7 is drawn in the window's skin near the bottom; its designed top (8445) lies below
// the window's bottom edge (8325), so it keeps its left and sits in the window's footer.
constexpr MenuEntry menuEntries[] = {
    {1, u"句子学习", "sentence", 390, 390, 900, 660},
    {2, u"全文浏览", "fulltext", 1415, 390, 900, 660},
    {3, u"回想中文", "recallchinese", 2485, 390, 900, 660},
    {4, u"回想英文", "recallenglish", 3535, 390, 900, 660},
    {5, u"跟读对比", "followread", 4585, 390, 900, 660},
    {8, u"听写测试", "dictation", 5635, 390, 900, 660},
    {6, u"语音选项", "voiceoptions", 6825, 388, 900, 660},
    {7, u"口语练习", "companion", 6870, 7905, 1410, 360},
};

const MenuEntry *entryOf(int item) {
    for (const MenuEntry &entry : menuEntries) {
        if (entry.item == item)
            return &entry;
    }
    return nullptr;
}

// One area of the menu: its icon above its caption (item 7: beside it). Reports a
// left-button release over it, and every mouse move over it. Assistive technology sees a
// push button named by the caption whose press is that release.
class MenuItemArea : public QWidget, public AccessibleControl {
public:
    MenuItemArea(const MenuEntry &entry, FunctionMenu *menu, QWidget *parent)
        : QWidget(parent), m_entry(entry), m_menu(menu) {
        setObjectName(QStringLiteral("MenuItem%1").arg(entry.item));
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setMouseTracking(true);
        setToolTip(entry.item == 7 ? QStringLiteral("启动口语练习程序")
                                   : QString::fromUtf16(entry.caption));
    }

    AccessiblePart accessiblePart(int) const override {
        AccessiblePart part;
        part.role = QAccessible::PushButton;
        part.name = QString::fromUtf16(m_entry.caption);
        if (m_entry.item == 7)
            part.description = toolTip();
        else if (m_menu->currentItem() == m_entry.item)
            part.description = QStringLiteral("当前学习模式");
        part.enabled = m_entry.item != 7 || m_menu->item7Enabled();
        part.pressable = true;
        return part;
    }
    void pressAccessiblePart(int) override { release(); }
    void currentChanged() {
        update();
        announceDescriptionChanged(this);
    }
    void enabledChanged() {
        update();
        QAccessible::State changed;
        changed.disabled = true;
        announceStateChanged(this, changed);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_entry.item == 7) {
            paintCompanion(painter);
            return;
        }
        const bool current = m_menu->currentItem() == m_entry.item;
        const bool hover = underMouse() && !current;
        if (hover) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0xF1, 0xF5, 0xFA));
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        }
        const QColor colour = current ? Palette::accent() : QColor(0x4E, 0x5B, 0x68);
        const int iconSize = 20;
        painter.drawPixmap((width() - iconSize) / 2, 4,
                           shellIcon(m_entry.icon, colour, iconSize, devicePixelRatioF()));
        QFont font = labelFont();
        font.setPixelSize(12);
        font.setBold(current);
        painter.setFont(font);
        painter.setPen(current ? Palette::accentPressed() : QColor(0x3A, 0x45, 0x50));
        painter.drawText(QRect(0, 26, width(), 16), Qt::AlignHCenter | Qt::AlignVCenter,
                         QString::fromUtf16(m_entry.caption));
    }

    void paintCompanion(QPainter &painter) {
        const bool enabled = m_menu->item7Enabled();
        const bool hover = underMouse() && enabled;
        painter.setPen(QPen(hover ? Palette::accent() : QColor(0xD5, 0xDD, 0xE6), 1));
        painter.setBrush(hover ? Palette::accentSoft() : QColor(Qt::white));
        const QRectF pill = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
        painter.setOpacity(enabled ? 1.0 : 0.45);
        const int iconSize = 16;
        const QColor colour = hover ? Palette::accentPressed() : QColor(0x4E, 0x5B, 0x68);
        painter.drawPixmap(10, (height() - iconSize) / 2,
                           shellIcon(m_entry.icon, colour, iconSize, devicePixelRatioF()));
        QFont font = labelFont();
        font.setPixelSize(12);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QRect(10 + iconSize + 5, 0, width() - iconSize - 20, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf16(m_entry.caption));
    }

    void mouseMoveEvent(QMouseEvent *event) override {
        m_menu->itemHovered(m_entry.item);
        event->accept();
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override {
        event->accept();
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            release();
    }

private:
    void release() {
        if (m_entry.item == 7 && !m_menu->item7Enabled())
            return;
        Q_EMIT m_menu->itemReleased(m_entry.item);
    }

    const MenuEntry &m_entry;
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

// The program's mark beside its name: a rounded accent tile with a speech line.
class BrandMark : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal side = std::min(width(), height());
        const QRectF tile(0, (height() - side) / 2, side, side);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::accent());
        painter.drawRoundedRect(tile, side * 0.28, side * 0.28);
        painter.setPen(QPen(Qt::white, side * 0.11, Qt::SolidLine, Qt::RoundCap));
        const qreal x = tile.left(), y = tile.top();
        painter.drawLine(QPointF(x + side * 0.28, y + side * 0.40),
                         QPointF(x + side * 0.72, y + side * 0.40));
        painter.drawLine(QPointF(x + side * 0.28, y + side * 0.62),
                         QPointF(x + side * 0.56, y + side * 0.62));
    }
};

} // namespace

FunctionMenu::FunctionMenu(QWidget *window) : QWidget(window) {
    setObjectName(QStringLiteral("FunctionMenu"));
    setMouseTracking(true);
    m_marker = new SelectionMarker(this);
    m_marker->setObjectName(QStringLiteral("MenuMarker"));
    m_marker->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (const MenuEntry &entry : menuEntries) {
        QWidget *parent = entry.item == 7 && window ? window : this;
        auto *area = new MenuItemArea(entry, this, parent);
        Twips::place(area, entry.left, entry.top, entry.width, entry.height);
        m_items[size_t(entry.item)] = area;
    }

    Twips::place(new BrandMark(this), 390, 90, 285, 285);
    auto *brand = new QLabel(QStringLiteral("Orvessa  英语听说训练"), this);
    QFont brandFont = labelFont();
    brandFont.setPixelSize(12);
    brandFont.setBold(true);
    brand->setFont(brandFont);
    brand->setStyleSheet(QStringLiteral("color: #3A4550; background: transparent;"));
    brand->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Twips::place(brand, 780, 75, 4000, 315);

    m_import = new TextButton(QStringLiteral("导入课程"), this);
    m_import->setObjectName(QStringLiteral("ImportLesson"));
    m_import->setToolTip(QStringLiteral("把自己的音频和字幕或文本做成一课"));
    Twips::place(m_import, 8505, 645, 1020, 330);
    m_more = new TextButton(QStringLiteral("更多软件"), this);
    m_more->setObjectName(QStringLiteral("MoreSoftware"));
    m_more->setToolTip(QStringLiteral("打开帮助与更多学习资源"));
    Twips::place(m_more, 9690, 645, 1020, 330);
    m_mini = new TextButton(QStringLiteral("迷你模式"), this);
    m_mini->setObjectName(QStringLiteral("MiniMode"));
    m_mini->setToolTip(QStringLiteral("启动迷你听力条"));
    Twips::place(m_mini, 10875, 645, 825, 330);

    m_minimise = new ChromeButton(ChromeButton::Kind::Minimise, this);
    Twips::place(m_minimise, 10845, 60, 390, 330);
    m_close = new ChromeButton(ChromeButton::Kind::Close, this);
    Twips::place(m_close, 11250, 60, 390, 330);
    moveMarkerTo(1);
}

bool FunctionMenu::hasItem(int item) {
    return entryOf(item) != nullptr;
}

int FunctionMenu::studyModeOf(int item) {
    return hasItem(item) ? item : 0;
}

int FunctionMenu::itemLeft(int item) {
    const MenuEntry *entry = entryOf(item);
    return entry ? entry->left : 0;
}

int FunctionMenu::itemTop(int item) {
    const MenuEntry *entry = entryOf(item);
    return entry ? entry->top : 0;
}

int FunctionMenu::itemWidth(int item) {
    const MenuEntry *entry = entryOf(item);
    return entry ? entry->width : 0;
}

int FunctionMenu::itemHeight(int item) {
    const MenuEntry *entry = entryOf(item);
    return entry ? entry->height : 0;
}

QWidget *FunctionMenu::itemArea(int item) const {
    return item >= 0 && item < int(m_items.size()) ? m_items[size_t(item)] : nullptr;
}

void FunctionMenu::setItem7Enabled(bool enabled) {
    if (enabled == m_item7Enabled)
        return;
    m_item7Enabled = enabled;
    if (QWidget *area = m_items[7])
        static_cast<MenuItemArea *>(area)->enabledChanged();
}

void FunctionMenu::itemHovered(int item) {
    // A disabled control hears no mouse: moving over item 7 itself does not enable it.
    if (item != 7)
        setItem7Enabled(true);
}

void FunctionMenu::moveMarkerTo(int item) {
    // Item 7 starts a program and is no study mode: the marker stays on the mode in force.
    if (!hasItem(item) || item == 7)
        return;
    m_current = item;
    m_markerLeft = itemLeft(item) - markerOffset;
    Twips::place(m_marker, m_markerLeft, itemTop(item), itemWidth(item) + 2 * markerOffset,
                 itemHeight(item));
    m_marker->lower();
    update();
    for (QWidget *area : m_items) {
        if (area)
            static_cast<MenuItemArea *>(area)->currentChanged();
    }
}

void FunctionMenu::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(0xE1, 0xE7, 0xEE));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}
