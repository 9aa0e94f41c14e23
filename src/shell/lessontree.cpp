#include "lessontree.h"

#include "widgets/palette.h"

#include <QPainter>

LessonTree::LessonTree(QWidget *parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("TreeView1"));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Palette::treeBackground());
    setPalette(pal);
}

void LessonTree::drawBranches(QPainter *painter, const QRect &rect,
                              const QModelIndex &index) const {
    painter->save();
    painter->fillRect(rect, Palette::treeBackground());
    QPen pen(Palette::chrome(), 1, Qt::DotLine);
    painter->setPen(pen);
    const int indent = indentation();
    const int midY = rect.center().y();
    // One column per level, the item's own level at the right edge.
    int level = 0;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        ++level;
    const int ownX = rect.right() - indent + indent / 2;
    const QModelIndex parent = index.parent();
    const int siblings = model()->rowCount(parent);
    const bool last = index.row() == siblings - 1;
    if (level > 0 || siblings > 1) {
        painter->drawLine(ownX, index.row() == 0 && level == 0 ? midY : rect.top(), ownX,
                          last ? midY : rect.bottom());
        painter->drawLine(ownX, midY, rect.right(), midY);
    }
    // The lines of the ancestors that still have siblings below.
    int x = ownX - indent;
    for (QModelIndex a = parent; a.isValid(); a = a.parent(), x -= indent) {
        if (a.row() < model()->rowCount(a.parent()) - 1)
            painter->drawLine(x, rect.top(), x, rect.bottom());
    }
    // The expand box of a node with children.
    if (model()->hasChildren(index)) {
        const QRect box(ownX - 4, midY - 4, 8, 8);
        painter->setPen(QPen(Palette::chromeStrong(), 1));
        painter->setBrush(Qt::white);
        painter->drawRect(box);
        painter->drawLine(box.left() + 2, midY, box.right() - 2, midY);
        if (!isExpanded(index))
            painter->drawLine(ownX, box.top() + 2, ownX, box.bottom() - 2);
    }
    painter->restore();
}
