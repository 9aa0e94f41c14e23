#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

struct SentenceEntry {
    QString record; // the raw record, kept whole
    QString english;
    QString chinese;
};

// Start and End of a sentence in seconds of the lesson audio.
struct SentenceTimes {
    double start = 0;
    double end = 0;
};

// The loaded lesson: entries 1..count(), rebuilt from nothing on every load.
class SentenceTable {
public:
    SentenceTable() = default;
    static SentenceTable fromText(QStringView lessonText);

    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    // i is 1-based, 1 <= i <= count().
    const SentenceEntry &entry(int i) const { return m_entries.at(static_cast<size_t>(i - 1)); }
    // The playable times of sentence i: both fields present, numeric, and End > Start.
    std::optional<SentenceTimes> times(int i) const;

private:
    std::vector<SentenceEntry> m_entries;
};
