#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Content files (lesson texts, lesson-name lists, results, plain settings) are GBK.
// Files that start with a UTF-8 byte-order mark, or that are valid UTF-8 but not
// valid GBK, are read as UTF-8 because modern editors save that. Invalid bytes never
// stop a read: each becomes U+FFFD and the rest decodes normally.
QString decodeText(QByteArrayView bytes);

// GBK bytes of a text; characters GBK cannot hold become '?'.
QByteArray encodeGbk(QStringView text);
