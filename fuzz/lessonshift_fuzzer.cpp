#include "content/lessonfile.h"
#include "content/lessonshift.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A little-endian number from the front of the input, which it then leaves.
template <typename T> T take(const uint8_t *&data, size_t &size) {
    T value{};
    if (size >= sizeof(T)) {
        std::memcpy(&value, data, sizeof(T));
        data += sizeof(T);
        size -= sizeof(T);
    }
    return value;
}

// The bytes of the times of sentences from..last, and everything else, as the shift cut them.
struct Cut {
    std::vector<QByteArray> times;
    QByteArray rest;
};

Cut cut(const QByteArray &bytes, int from, int last) {
    const QString text = QString::fromLatin1(bytes);
    const std::vector<QStringView> records = splitRecordViews(text);
    Cut result;
    qsizetype copied = 0;
    for (int i = from - 1; i < last && i < int(records.size()); ++i) {
        const RecordFieldViews fields = cutRecordViews(records[size_t(i)]);
        for (const auto &field : {fields.start, fields.end}) {
            if (!field)
                continue;
            const qsizetype at = field->data() - text.data();
            result.rest += bytes.sliced(copied, at - copied);
            result.times.push_back(bytes.sliced(at, field->size()));
            copied = at + field->size();
        }
    }
    result.rest += bytes.sliced(copied);
    return result;
}

} // namespace

// A lesson file's bytes, shifted by an amount and over a range the input's first bytes
// choose, against an audio length they choose too.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto ms = take<int32_t>(data, size);
    const auto from = int(take<uint8_t>(data, size) % 8);
    const auto to = int(take<int8_t>(data, size) % 8);
    const auto audioMs = take<uint16_t>(data, size);
    const double seconds = ms == INT32_MIN ? std::nan("") : ms / 1000.0;
    const double audio = audioMs / 100.0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const ShiftResult shifted = shiftLessonTimes(bytes, seconds, from, to, audio);
    FUZZ_CHECK(shifted.error.isEmpty() || (shifted.bytes.isEmpty() && shifted.shifted == 0));
    FUZZ_CHECK(!shifted.error.contains(u'\n') && !shifted.error.contains(u'\r'));
    if (!shifted.error.isEmpty())
        return 0;
    FUZZ_CHECK(shifted.shifted >= 0);
    // Nothing changed is said only of the very same bytes.
    FUZZ_CHECK((shifted.shifted == 0) == (shifted.bytes == bytes));

    const int count = int(splitRecordViews(QString::fromLatin1(bytes)).size());
    const int last = to == -1 ? count : to;
    FUZZ_CHECK(shifted.shifted <= last - from + 1);
    const Cut before = cut(bytes, from, last);
    const Cut after = cut(shifted.bytes, from, last);
    // Only the numbers of the range move; every other byte stays.
    FUZZ_CHECK(before.rest == after.rest);
    FUZZ_CHECK(before.times.size() == after.times.size());
    for (size_t i = 0; i < after.times.size(); ++i) {
        if (after.times[i] == before.times[i])
            continue;
        const std::optional<double> was = parseSeconds(QString::fromLatin1(before.times[i]));
        const std::optional<double> now = parseSeconds(QString::fromLatin1(after.times[i]));
        FUZZ_CHECK(was && now);
        FUZZ_CHECK(*now >= 0);
        FUZZ_CHECK(*now <= *was || audio <= 0 || *now <= audio + 1e-9);
        FUZZ_CHECK(std::abs((*now - *was) - std::llround(seconds * 1000) / 1000.0) < 1e-6);
    }
    return 0;
}
