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
    // Sentence numbers are 16-bit signed: records beyond this are not loaded.
    static constexpr int maxSentences = 32767;

    SentenceTable() = default;
    // Linear in the length of the text.
    static SentenceTable fromText(QStringView lessonText);

    int count() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    // i is 1-based, 1 <= i <= count().
    const SentenceEntry &entry(int i) const { return m_entries.at(static_cast<size_t>(i - 1)); }
    // The playable times of sentence i: both fields present, numeric, Start >= 0 and
    // End > Start. Nothing for any other sentence number.
    std::optional<SentenceTimes> times(int i) const;
    // Sentence i's record once its times were set in the lesson file (recordWithTimes); its
    // English and Chinese stay. Nothing happens for another sentence number.
    void replaceRecord(int i, QString record);

private:
    std::vector<SentenceEntry> m_entries;
};
