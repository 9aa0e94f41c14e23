#include "sentencetable.h"

#include "lessonfile.h"

SentenceTable SentenceTable::fromText(QStringView lessonText) {
    const std::vector<QStringView> records =
        splitRecordViews(lessonText, static_cast<size_t>(maxSentences));
    const size_t count = records.size();
    SentenceTable table;
    table.m_entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const RecordFieldViews fields = cutRecordViews(records[i]);
        table.m_entries.push_back(
            {records[i].toString(), fields.english.toString(), fields.chinese.toString()});
    }
    return table;
}

std::optional<SentenceTimes> SentenceTable::times(int i) const {
    if (i < 1 || i > count()) {
        return std::nullopt;
    }
    const RecordFieldViews fields = cutRecordViews(entry(i).record);
    if (!fields.start || !fields.end) {
        return std::nullopt;
    }
    const std::optional<double> start = parseSeconds(*fields.start);
    const std::optional<double> end = parseSeconds(*fields.end);
    // A negative start would ask the player to seek from the end of the file.
    if (!start || !end || *start < 0 || *end <= *start) {
        return std::nullopt;
    }
    return SentenceTimes{*start, *end};
}

void SentenceTable::replaceRecord(int i, QString record) {
    if (i >= 1 && i <= count()) {
        m_entries[static_cast<size_t>(i - 1)].record = std::move(record);
    }
}
