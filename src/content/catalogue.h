#pragma once

#include "programprofile.h"

#include <QString>
#include <QStringList>

// The books each program offers in its book selector, in list order.
const QStringList &bookTitles(Program program);

// The title a book selector shows before any settings are applied.
inline QString initialBookTitle() {
    return QStringLiteral("商务英语900句");
}
