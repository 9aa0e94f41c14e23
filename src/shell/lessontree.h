#pragma once

#include <QTreeWidget>

// The lesson tree (TreeView1): a tree that draws its connecting lines itself, in a quiet
// dotted grey that reads on its 249/252/255 background whatever the widget style draws.
class LessonTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit LessonTree(QWidget *parent = nullptr);

protected:
    void drawBranches(QPainter *painter, const QRect &rect,
                      const QModelIndex &index) const override;
};
