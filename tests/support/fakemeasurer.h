#pragma once

#include "content/rowlayout.h"

#include <QHash>
#include <QString>

// Exact widths for tests: a text listed in `widths` measures as given, any other text as
// perChar twips per UTF-16 unit (line breaks count as nothing).
class FakeMeasurer : public TextMeasurer {
public:
    int perChar = 100;
    QHash<QString, int> widths;

    int widthTwips(QStringView text, LineFont) const override {
        const auto found = widths.constFind(text.toString());
        if (found != widths.constEnd())
            return *found;
        int count = 0;
        for (QChar c : text)
            count += (c == u'\n' || c == u'\r') ? 0 : 1;
        return count * perChar;
    }
};
