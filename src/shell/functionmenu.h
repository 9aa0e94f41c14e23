#pragma once

#include <QWidget>
#include <array>

class ChromeButton;
class TextButton;

// The function menu: across the top of the window one area per study mode, each with its
// icon and caption, and the selection marker under the current one (60 twips left of the
// item); the window's own minimise and close buttons and the text buttons "更多软件" and
// "迷你模式" at the top right. Item 7, the companion program, lies near the bottom of the
// window, outside the strip, as a child of the window. "导入课程" beside them opens the
// import of the learner's own material.
//
// Releasing the mouse over an item reports it; what the item does is the window's. Item 7
// carries its own enabled flag, the guard against starting the companion program twice: a
// disabled item 7 ignores presses and releases, and the next mouse move over any other
// menu item (or wherever the window says) enables it again. Positions are the window's
// twips; the strip spans the window's width.
class FunctionMenu : public QWidget {
    Q_OBJECT
public:
    // window is the parent: the strip and item 7 are both placed in its twips.
    explicit FunctionMenu(QWidget *window);

    static bool hasItem(int item);    // items 1 to 8
    static int studyModeOf(int item); // the item number is the mode it sets; 0 for none
    static int itemLeft(int item);    // twips; 0 for an unknown item
    static int itemTop(int item);
    static int itemWidth(int item);
    static int itemHeight(int item);

    QWidget *itemArea(int item) const;
    // The marker's left edge in twips: the current item's left - 60.
    int markerLeft() const { return m_markerLeft; }
    int currentItem() const { return m_current; }
    // Item 7 is no study mode: it leaves the marker where it is.
    void moveMarkerTo(int item);

    bool item7Enabled() const { return m_item7Enabled; }
    void setItem7Enabled(bool enabled);

    ChromeButton *closeButton() const { return m_close; }
    ChromeButton *minimiseButton() const { return m_minimise; }
    TextButton *miniButton() const { return m_mini; }
    TextButton *moreButton() const { return m_more; }
    TextButton *importButton() const { return m_import; }

    static constexpr int heightTwips = 1050;
    static constexpr int markerOffset = 60;

Q_SIGNALS:
    void itemReleased(int item);

protected:
    void paintEvent(QPaintEvent *event) override;

public:
    // The mouse moved over item: any item but 7 itself enables item 7 again.
    void itemHovered(int item);

private:
    std::array<QWidget *, 9> m_items{}; // index = item number
    QWidget *m_marker = nullptr;
    ChromeButton *m_close = nullptr;
    ChromeButton *m_minimise = nullptr;
    TextButton *m_mini = nullptr;
    TextButton *m_more = nullptr;
    TextButton *m_import = nullptr;
    int m_current = 1;
    int m_markerLeft = 0;
    bool m_item7Enabled = true;
};
