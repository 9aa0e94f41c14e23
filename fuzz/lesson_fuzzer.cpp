#include "content/lessonfile.h"
#include "content/sentencetable.h"
#include "content/textcodec.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>

// Lesson file bytes as the loader reads them: decode, build the table, cut every
// record and convert its times.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = decodeText(bytes);
    const SentenceTable table = SentenceTable::fromText(text);
    const std::vector<QString> records = splitRecords(text);
    FUZZ_CHECK(table.count() <= SentenceTable::maxSentences);
    FUZZ_CHECK(static_cast<size_t>(table.count()) ==
               std::min(records.size(), static_cast<size_t>(SentenceTable::maxSentences)));
    for (int i = 1; i <= table.count(); ++i) {
        const SentenceEntry &entry = table.entry(i);
        FUZZ_CHECK(entry.record == records[static_cast<size_t>(i - 1)]);
        FUZZ_CHECK(!entry.record.contains(u'*'));
        const RecordFields fields = cutRecord(entry.record);
        FUZZ_CHECK(fields.english == entry.english && fields.chinese == entry.chinese);
        FUZZ_CHECK(!fields.english.startsWith(u' ') && !fields.english.endsWith(u' '));
        FUZZ_CHECK(!fields.english.contains(u'#'));
        FUZZ_CHECK(fields.end.has_value() <= fields.start.has_value());
        for (const std::optional<QString> &field : {fields.start, fields.end}) {
            if (field) {
                const std::optional<double> seconds = parseSeconds(*field);
                FUZZ_CHECK(!seconds || std::isfinite(*seconds));
            }
        }
        if (const std::optional<SentenceTimes> times = table.times(i)) {
            FUZZ_CHECK(times->start >= 0 && times->end > times->start);
        }
    }
    FUZZ_CHECK(!table.times(0) && !table.times(table.count() + 1));
    return 0;
}
