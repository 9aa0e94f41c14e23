#pragma once

// The fonts the content names, made to resolve to the same metrics on every machine.
// Sizes are pixel sizes at 96 dpi, so that widths measured in twips do not depend on the
// screen: Times New Roman 14.25 pt = 19 px, 新宋体 10.5 pt = 14 px.

#include <QFont>

// Maps "Times New Roman" to Liberation Serif (metric-compatible) and "新宋体"/"NSimSun" to
// Noto Serif CJK SC (then Noto Sans CJK SC, WenQuanYi Zen Hei). Call once after the
// QGuiApplication exists and before any of the fonts below is created; repeated calls are
// harmless.
void installFontSubstitutions();

// English line (Label6) and row number (Label12): Times New Roman, 19 px, regular.
QFont englishLineFont();
// Chinese line (Label8): 新宋体, 14 px, regular.
QFont chineseLineFont();
// Small labels of the window (the dictation progress line): 12 px sans.
QFont labelFont();
// The calm note painted on an empty lesson panel: 15 px sans.
QFont noteFont();
