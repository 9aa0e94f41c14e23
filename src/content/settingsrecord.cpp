#include "settingsrecord.h"

#include <cmath>
#include <limits>

namespace {

constexpr QChar separator = u'\\';

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

std::vector<std::optional<QString>> cutSettingsFields(QStringView text, int fieldCount) {
    std::vector<std::optional<QString>> fields;
    if (fieldCount <= 0) {
        return fields;
    }
    fields.resize(static_cast<size_t>(fieldCount));
    qsizetype fieldStart = 0;
    for (int k = 0; k < fieldCount; ++k) {
        const qsizetype end = text.indexOf(separator, fieldStart);
        if (end < 0) {
            break;
        }
        fields[static_cast<size_t>(k)] = text.sliced(fieldStart, end - fieldStart).toString();
        fieldStart = end + 1;
    }
    return fields;
}

double leadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    const qsizetype begin = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    int digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    qsizetype end = i;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                ++j;
            }
            end = j;
        }
    }
    // The prefix is plain ASCII; QString's conversion is locale-independent.
    QString number = text.sliced(begin, end - begin).toString();
    if (number.endsWith(u'.')) {
        number.chop(1);
    }
    bool converted = false;
    const double value = number.toDouble(&converted);
    if (!converted || !std::isfinite(value)) {
        return 0;
    }
    return value;
}

std::optional<qint32> wholeNumber(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    qsizetype i = begin;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == end) {
        return std::nullopt;
    }
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    qint64 value = 0;
    for (; i < end; ++i) {
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min()) {
        return std::nullopt;
    }
    return static_cast<qint32>(value);
}
