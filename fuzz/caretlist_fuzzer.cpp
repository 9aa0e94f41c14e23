#include "content/caretlist.h"
#include "content/textcodec.h"

#include "fuzzcheck.h"

#include <cstdint>

// Lesson-name lists and results texts.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const QString &text : {decodeText(bytes), QString::fromUtf8(bytes)}) {
        const QStringList entries = splitCaretList(text);
        const qsizetype markers = text.count(u'^');
        FUZZ_CHECK(entries.size() <= markers);
        FUZZ_CHECK(markers == 0 || entries.size() >= markers - 1);
        for (const QString &entry : entries) {
            FUZZ_CHECK(!entry.contains(u'^'));
        }
    }
    return 0;
}
