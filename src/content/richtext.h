#pragma once

#include <QByteArrayView>
#include <QString>

// The text buffer the data files go through: an RTF document gives its plain text (GBK
// escapes decoded by the document's code page, paragraph ends as "\r\n"); anything else
// is plain text decoded by decodeText(). Never fails: damaged RTF yields what could be
// read, and nesting of any depth is handled without recursion.
QString plainTextFromFileBytes(QByteArrayView bytes);

bool looksLikeRichText(QByteArrayView bytes);

// The plain text of a small data file (lesson-name list), through the text buffer. Empty when
// the file is missing, unreadable, not a regular file or larger than maxBytes (a list cut
// short would end in half a name).
QString readDataFile(const QString &path, qint64 maxBytes = 4 * 1024 * 1024);
