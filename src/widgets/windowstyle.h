#pragma once

#include <QString>

class QComboBox;
class QStandardItem;
class QWidget;

// One calm look for the standard controls of every window of the program (buttons, combo
// boxes, line edits, message boxes); the accent marks the main action, a QPushButton with the
// property accent=true. The combo box arrow is one of our icons: call loadShellIcons() before
// a widget uses this sheet.
QString windowStyleSheet();

// Entry index of list, a book whose lessons are not here: drawn quiet in its own colour (the
// sheet above would draw every entry alike) and read as "未安装". The entry, for more marks;
// null for a list whose model keeps no items.
QStandardItem *markNotInstalled(QComboBox *list, int index);

// A dialog's frame in that look: the label font at 13 px on white, the program's sheet and then
// the dialog's own (Latin-1 text), with the icons the sheet draws loaded.
void styleDialog(QWidget *dialog, const char *ownStyle);
