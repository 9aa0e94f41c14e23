#include "catalogueview.h"

#include "audio/ticker.h"
#include "content/caretlist.h"
#include "content/catalogue.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "lessontree.h"
#include "text/fonts.h"
#include "widgets/palette.h"
#include "widgets/twips.h"
#include "widgets/windowstyle.h"

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>

namespace {

// ImageList1: 1 = a lesson, 2 = the book at the root. Drawn here rather than loaded.
QIcon treeImage(int index) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2, 2);
    if (index == 2) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::accent());
        painter.drawRoundedRect(QRectF(3, 2, 10, 12), 1.5, 1.5);
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(5, 4.5, 6, 1.2));
        painter.drawRect(QRectF(5, 7, 4, 1.2));
    } else {
        painter.setPen(QPen(Palette::chromeStrong(), 1.1));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(3.5, 2.5, 9, 11), 1.2, 1.2);
        painter.drawLine(QPointF(5.5, 6), QPointF(10.5, 6));
        painter.drawLine(QPointF(5.5, 8.5), QPointF(9, 8.5));
    }
    painter.end();
    return QIcon(pixmap);
}

QLabel *caption(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    QFont font = labelFont();
    font.setPixelSize(12);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: #5B6773;"));
    return label;
}

} // namespace

CatalogueView::CatalogueView(const DataPlaces &places, Ticker &Timer3, QWidget *parent)
    : QWidget(parent), m_places(places), m_Timer3(Timer3) {
    setObjectName(QStringLiteral("Catalogue"));
    // The column's own place in the window: 225 to 2535 twips across, 1110 to 7273 down.
    constexpr int originTop = 1110;
    const auto place = [](QWidget *w, int top, int height) {
        Twips::place(w, leftTwips, top, widthTwips, height, leftTwips, originTop);
    };
    Twips::place(this, leftTwips, originTop, widthTwips, 7273 - originTop);

    QFont listFont = labelFont();
    listFont.setPixelSize(13);

    QLabel *bookCaption = caption(QStringLiteral("书本"), this);
    place(bookCaption, 1110, 300);
    m_Combo1 = new QComboBox(this);
    // A screen reader names a combo box after the label it is the buddy of.
    bookCaption->setBuddy(m_Combo1);
    m_Combo1->setObjectName(QStringLiteral("Combo1"));
    // The selector shows the remembered title even when it is not one of the listed books.
    m_Combo1->setEditable(true);
    m_Combo1->lineEdit()->setReadOnly(true);
    m_Combo1->setInsertPolicy(QComboBox::NoInsert);
    m_Combo1->setFont(listFont);
    place(m_Combo1, 1410, 450);
    connect(m_Combo1, &QComboBox::activated, this,
            [this](int index) { switchBook(m_Combo1->itemText(index)); });
    // The wheel and the arrow keys pass over books that are not installed.
    m_Combo1->installEventFilter(this);

    place(caption(QStringLiteral("课程"), this), 2010, 300);
    m_List1 = new QListWidget(this);
    m_List1->setObjectName(QStringLiteral("List1"));
    m_List1->setAccessibleName(QStringLiteral("课程"));
    m_List1->setFont(listFont);
    m_List1->viewport()->installEventFilter(this);
    // The window hides its hover frame on any mouse move over the list.
    m_List1->viewport()->setMouseTracking(true);
    place(m_List1, 2325, 2460);

    place(caption(QStringLiteral("课程目录"), this), 4905, 300);
    m_TreeView1 = new LessonTree(this);
    m_TreeView1->setAccessibleName(QStringLiteral("课程目录"));
    m_TreeView1->setFont(listFont);
    m_TreeView1->setIndentation(14);
    m_TreeView1->setIconSize(QSize(16, 16));
    place(m_TreeView1, 5220, 7273 - 5220);
    connect(m_TreeView1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int) {
        if (item == m_root)
            treeNodeClicked(1);
        else if (item && item->parent() == m_root)
            treeNodeClicked(m_root->indexOfChild(item) + 2);
    });

    const QString listStyle = QStringLiteral(
        "background: rgb(249,252,255); border: 1px solid #D5DDE6; border-radius: 6px;"
        "padding: 2px; outline: 0;");
    m_List1->setStyleSheet(
        QStringLiteral("QListWidget {") + listStyle +
        QStringLiteral("} QListWidget::item { padding: 3px 4px; border-radius: 4px; }"
                       "QListWidget::item:hover { background: #EEF3F9; }"
                       "QListWidget::item:selected { background: #E8F1FD; color: #1F62C4; }"));
    m_TreeView1->setStyleSheet(
        QStringLiteral("QTreeWidget {") + listStyle +
        QStringLiteral("} QTreeWidget::item { padding: 2px 0; }"
                       "QTreeWidget::item:hover { background: #EEF3F9; }"
                       "QTreeWidget::item:selected { background: #E8F1FD; color: #1F62C4; }"
                       "QTreeWidget::branch { background: rgb(249,252,255); }"));

    connect(&m_Timer3, &Ticker::timeout, this, &CatalogueView::onTimer3);

    // Said under the selector without stopping the learner, over the list's top for a while;
    // it never takes a click.
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("CatalogueNote"));
    m_note->setWordWrap(true);
    m_note->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_note->setStyleSheet(QStringLiteral("background: #FFF8E6; color: #6B5B2E; border: 1px solid "
                                         "#F0E0B2; border-radius: 6px; padding: 4px 6px;"));
    QFont noteFont = labelFont();
    noteFont.setPixelSize(12);
    m_note->setFont(noteFont);
    m_note->hide();
}

void CatalogueView::readBook(const QString &bookTitle, QStringList &names) {
    names.clear();
    // Titles become file names: one that could leave the content folders reads nothing.
    if (!isSafeBookTitle(bookTitle))
        return;
    names = splitCaretList(readDataFile(m_places.readPath(ContentFile::bookList(bookTitle))));
}

void CatalogueView::fillBookSelector(const QString &bookTitle) {
    m_Combo1->clear();
    m_Combo1->addItems(bookSelectorTitles(Program::Orvessa, m_places));
    markUninstalledBooks();
    // The current item follows the shown title, so that the wheel and the arrow keys step
    // from it; a title that is not listed has no current item.
    m_Combo1->setCurrentIndex(m_Combo1->findText(bookTitle));
    m_Combo1->setEditText(bookTitle);
}

void CatalogueView::fillLessons(int lessonIndex) {
    QStringList names;
    readBook(bookTitle(), names);
    showLessons(bookTitle(), names, lessonIndex);
}

void CatalogueView::showLessons(const QString &bookTitle, const QStringList &names,
                                int lessonIndex) {
    m_currentBook = bookTitle;
    m_List1->clear();
    m_List1->addItems(names);
    fillTree(bookTitle, names, lessonIndex);
    if (lessonIndex >= 0 && lessonIndex < m_List1->count())
        m_List1->setCurrentRow(lessonIndex);
    Q_EMIT bookRead();
}

// The tree shows the book the list shows, so that a node always loads the lesson it names.
void CatalogueView::fillTree(const QString &bookTitle, const QStringList &names, int lessonIndex) {
    m_TreeView1->clear();
    m_root = new QTreeWidgetItem(m_TreeView1, QStringList{bookTitle});
    m_root->setData(0, Qt::UserRole, treeRootTitle()); // the root's key
    m_root->setIcon(0, treeImage(2));
    for (const QString &name : names) {
        auto *child = new QTreeWidgetItem(m_root, QStringList{name});
        child->setIcon(0, treeImage(1));
    }
    m_root->setExpanded(true);
    QTreeWidgetItem *node = lessonIndex >= 0 ? m_root->child(lessonIndex) : nullptr;
    m_TreeView1->setCurrentItem(node ? node : m_root);
    const QBrush background(Palette::treeBackground());
    m_root->setBackground(0, background);
    for (int k = 0; k < m_root->childCount(); ++k)
        m_root->child(k)->setBackground(0, background);
}

// The catalogue keeps its titles and order; a title whose lesson-name list is in neither
// place is greyed and described as not installed.
void CatalogueView::markUninstalledBooks() {
    for (int i = 0; i < m_Combo1->count(); ++i) {
        if (!isBookInstalled(m_places, m_Combo1->itemText(i)))
            markNotInstalled(m_Combo1, i);
    }
}

// One step of the wheel or an arrow key: to the next installed title that way, if any.
bool CatalogueView::stepToInstalledBook(int direction) {
    for (int i = m_Combo1->currentIndex() + direction; i >= 0 && i < m_Combo1->count();
         i += direction) {
        if (!isBookInstalled(m_places, m_Combo1->itemText(i)))
            continue;
        m_Combo1->setCurrentIndex(i);
        switchBook(m_Combo1->itemText(i));
        return true;
    }
    return false;
}

void CatalogueView::showNote(const QString &text) {
    const QRect combo = m_Combo1->geometry();
    m_note->setText(text);
    m_note->setFixedWidth(combo.width());
    m_note->adjustSize();
    m_note->move(combo.left(), combo.bottom() + 4);
    m_note->show();
    m_note->raise();
    QTimer::singleShot(8000, m_note, &QWidget::hide);
}

void CatalogueView::switchBook(const QString &bookTitle) {
    if (!isBookInstalled(m_places, bookTitle)) {
        // The learner stays with the book they have.
        m_Combo1->setCurrentIndex(m_Combo1->findText(m_currentBook));
        m_Combo1->setEditText(m_currentBook);
        showNote(
            QStringLiteral("《%1》未安装。自己的课文可用右上角的“导入课程”添加。").arg(bookTitle));
        return;
    }
    m_note->hide();
    QStringList names;
    readBook(bookTitle, names);
    // A book without lessons leaves nothing selected; the load then shows the panel's note.
    showLessons(bookTitle, names, names.isEmpty() ? -1 : 0);
    m_Timer3.start();
}

bool CatalogueView::openLesson(const QString &bookTitle, const QString &lessonName) {
    if (!isBookInstalled(m_places, bookTitle))
        return false;
    fillBookSelector(bookTitle);
    QStringList names;
    readBook(bookTitle, names);
    // An import appends: the newest lesson of that name is the one just made.
    const int index = int(names.lastIndexOf(lessonName));
    m_note->hide();
    showLessons(bookTitle, names, index);
    if (index < 0)
        return false;
    Q_EMIT loadRequested();
    setLessonToolTip();
    return true;
}

void CatalogueView::onTimer3() {
    m_Timer3.stop();
    Q_EMIT loadRequested();
}

QString CatalogueView::bookTitle() const {
    return m_Combo1->currentText();
}

int CatalogueView::lessonIndex() const {
    return m_List1->currentItem() ? m_List1->currentRow() : -1;
}

QStringList CatalogueView::lessonNames() const {
    QStringList names;
    for (int k = 0; k < m_List1->count(); ++k)
        names << m_List1->item(k)->text();
    return names;
}

QString CatalogueView::lessonName() const {
    const QListWidgetItem *item = m_List1->currentItem();
    return item ? item->text() : QString();
}

void CatalogueView::setLessonToolTip() {
    m_List1->setToolTip(QStringLiteral("当前课程：") + lessonName());
}

void CatalogueView::treeNodeClicked(int node) {
    const int index = node - 2;
    if (node < 2 || index >= m_List1->count())
        return; // the root, or a lesson the current book's list does not have
    m_List1->setCurrentRow(index);
    Q_EMIT loadRequested();
    setLessonToolTip();
}

void CatalogueView::listReleased() {
    if (!m_List1->currentItem())
        return;
    Q_EMIT loadRequested();
    setLessonToolTip();
}

bool CatalogueView::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_Combo1) {
        int direction = 0;
        if (event->type() == QEvent::Wheel) {
            direction = static_cast<QWheelEvent *>(event)->angleDelta().y() > 0 ? -1 : 1;
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            direction = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
        }
        if (direction != 0) {
            stepToInstalledBook(direction);
            return true;
        }
    }
    // The lesson loads on the release over the list, not on the selection change itself.
    if (watched == m_List1->viewport() && event->type() == QEvent::MouseButtonRelease)
        listReleased();
    return QWidget::eventFilter(watched, event);
}
