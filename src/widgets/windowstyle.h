#pragma once

#include <QString>

// One calm look for the standard controls of every window of the program (buttons, combo
// boxes, line edits, message boxes); the accent marks the main action, a QPushButton with the
// property accent=true. The combo box arrow is one of our icons: call loadShellIcons() before
// a widget uses this sheet.
QString windowStyleSheet();
