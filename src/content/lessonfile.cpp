#include "lessonfile.h"

#include <cmath>

namespace {

constexpr QChar recordMarker = u'*';
constexpr QChar fieldEnd = u'#';

bool holdsFourFieldEnds(QStringView text) {
    int found = 0;
    for (const QChar c : text) {
        if (c == fieldEnd && ++found == 4) {
            return true;
        }
    }
    return false;
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

QStringView trimSpaces(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == u' ') {
        --end;
    }
    return text.sliced(begin, end - begin);
}

std::vector<QStringView> splitRecordViews(QStringView text, size_t maxRecords) {
    std::vector<QStringView> records;
    qsizetype previous = text.indexOf(recordMarker);
    if (previous < 0 || maxRecords == 0) {
        return records;
    }
    for (;;) {
        if (records.size() == maxRecords) {
            return records;
        }
        const qsizetype next = text.indexOf(recordMarker, previous + 1);
        if (next < 0) {
            break;
        }
        records.push_back(text.sliced(previous + 1, next - previous - 1));
        previous = next;
    }
    const QStringView tail = text.sliced(previous + 1);
    if (holdsFourFieldEnds(tail)) {
        records.push_back(tail);
    }
    return records;
}

std::vector<QString> splitRecords(QStringView text) {
    const std::vector<QStringView> views = splitRecordViews(text);
    std::vector<QString> records;
    records.reserve(views.size());
    for (const QStringView view : views) {
        records.push_back(view.toString());
    }
    return records;
}

RecordFieldViews cutRecordViews(QStringView record) {
    RecordFieldViews fields;
    const qsizetype m1 = record.indexOf(fieldEnd);
    if (m1 < 0) {
        fields.english = trimSpaces(record);
        return fields;
    }
    fields.english = trimSpaces(record.first(m1));
    const qsizetype m2 = record.indexOf(fieldEnd, m1 + 1);
    if (m2 < 0) {
        fields.chinese = trimSpaces(record.sliced(m1 + 1));
        return fields;
    }
    fields.chinese = trimSpaces(record.sliced(m1 + 1, m2 - m1 - 1));
    const qsizetype m3 = record.indexOf(fieldEnd, m2 + 1);
    if (m3 < 0) {
        return fields;
    }
    fields.start = record.sliced(m2 + 1, m3 - m2 - 1);
    const qsizetype m4 = record.indexOf(fieldEnd, m3 + 1);
    if (m4 < 0) {
        return fields;
    }
    fields.end = record.sliced(m3 + 1, m4 - m3 - 1);
    return fields;
}

RecordFields cutRecord(QStringView record) {
    const RecordFieldViews views = cutRecordViews(record);
    RecordFields fields;
    fields.english = views.english.toString();
    fields.chinese = views.chinese.toString();
    if (views.start) {
        fields.start = views.start->toString();
    }
    if (views.end) {
        fields.end = views.end->toString();
    }
    return fields;
}

std::pair<qsizetype, qsizetype> numberSpan(QStringView field) {
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && isBlank(field[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(field[end - 1])) {
        --end;
    }
    return {begin, end};
}

std::optional<double> parseSeconds(QStringView field) {
    const auto [begin, end] = numberSpan(field);
    const QStringView number = field.sliced(begin, end - begin);

    qsizetype i = 0;
    if (i < number.size() && (number[i] == u'+' || number[i] == u'-')) {
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (; i < number.size(); ++i) {
        const char16_t c = number[i].unicode();
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    // The text is now plain ASCII; QString's conversion is locale-independent.
    bool converted = false;
    const double value = number.toString().toDouble(&converted);
    if (!converted || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}
