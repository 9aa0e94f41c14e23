#pragma once

#include <QWidget>
#include <array>

class QLabel;

// The function menu across the top of the window: one area per study mode, each with its
// icon and caption, and the selection marker under the current one (60 twips left of the
// item). Releasing the mouse over an item reports it; what the item does is the window's.
// Positions are the window's twips; the strip spans the window's width.
class FunctionMenu : public QWidget {
    Q_OBJECT
public:
    explicit FunctionMenu(QWidget *parent = nullptr);

    // Items 1 to 6 and 8 lie in the strip. Item 7 (the companion program) sits in the skin
    // below the window's bottom edge and has no area here.
    static bool hasItem(int item);
    static int studyModeOf(int item); // the item number is the mode it sets
    static int itemLeft(int item);    // twips; 0 for an unknown item
    static int itemTop(int item);

    QWidget *itemArea(int item) const;
    // The marker's left edge in twips: the current item's left - 60.
    int markerLeft() const { return m_markerLeft; }
    int currentItem() const { return m_current; }
    void moveMarkerTo(int item);

    static constexpr int heightTwips = 1050;
    static constexpr int itemWidth = 900;
    static constexpr int itemHeight = 660;
    static constexpr int markerOffset = 60;

Q_SIGNALS:
    void itemReleased(int item);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::array<QWidget *, 9> m_items{}; // index = item number
    QWidget *m_marker = nullptr;
    int m_current = 1;
    int m_markerLeft = 0;
};
