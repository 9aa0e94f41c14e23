#pragma once

#include "content/dataplaces.h"

#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;
class Ticker;

// The book catalogue and lesson navigation of the window's left column: the book selector
// Combo1, the lesson list List1 and the lesson tree TreeView1. It decides which lesson is
// selected; loading it is the window's (loadRequested()).
//
// Timer3 (10 ms, handed in, not owned) defers the load after a book switch by one tick,
// so that the switch has finished before the lesson loads.
class CatalogueView : public QWidget {
    Q_OBJECT
public:
    CatalogueView(const DataPlaces &places, Ticker &Timer3, QWidget *parent = nullptr);

    // Start-up, first half: the titles, then the remembered title as the selector's text
    // (shown even when it is not a listed title).
    void fillBookSelector(const QString &bookTitle);
    // Start-up, second half: the selector's book's lesson names, the tree of this book and
    // the remembered lesson selected in both; -1 (or a position the list does not have)
    // selects none and leaves the tree's root current.
    void fillLessons(int lessonIndex);
    // Combo1 chosen: the new book's names in the list and the tree, entry 0 selected, Timer3
    // started. A book that is not installed here changes nothing and says so (note()).
    void switchBook(const QString &bookTitle);
    // A lesson just added: the selector relisted (a new book joins it) and showing
    // bookTitle, the list and the tree that book's, the last lesson called lessonName
    // selected and loaded as a click on it does. False when the book or lesson is not there.
    bool openLesson(const QString &bookTitle, const QString &lessonName);
    // The calm line under the selector; hidden when there is nothing to say.
    QLabel *note() const { return m_note; }

    QString bookTitle() const;
    int lessonIndex() const;         // List1's selected position; -1 for none
    QString lessonName() const;      // List1's selected text
    QStringList lessonNames() const; // List1's entries, in order

    QComboBox *Combo1() const { return m_Combo1; }
    QListWidget *List1() const { return m_List1; }
    QTreeWidget *TreeView1() const { return m_TreeView1; }

    // A click on tree node n (1 = root, k + 2 = lesson index k): lessons select their list
    // entry and load; the root does nothing.
    void treeNodeClicked(int node);
    // The release over List1: the selected lesson loads, even when it is loaded already.
    void listReleased();

    static constexpr int leftTwips = 225;
    static constexpr int widthTwips = 2310;
    static QString treeRootTitle() { return QStringLiteral("新概念英语第一册"); }

Q_SIGNALS:
    void loadRequested();
    // A book became current (start-up or Combo1) and List1 holds its lesson names.
    void bookRead();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readBook(const QString &bookTitle, QStringList &names);
    // Lists the book's lessons (names) with lessonIndex selected (none when out of range).
    void showLessons(const QString &bookTitle, const QStringList &names, int lessonIndex);
    void fillTree(const QString &bookTitle, const QStringList &names, int lessonIndex);
    void markUninstalledBooks();
    bool stepToInstalledBook(int direction);
    void showNote(const QString &text);
    void setLessonToolTip();
    void onTimer3();

    DataPlaces m_places;
    Ticker &m_Timer3;
    QComboBox *m_Combo1 = nullptr;
    QListWidget *m_List1 = nullptr;
    QTreeWidget *m_TreeView1 = nullptr;
    QTreeWidgetItem *m_root = nullptr;
    QLabel *m_note = nullptr;
    QString m_currentBook; // the book whose lessons the list holds
};
