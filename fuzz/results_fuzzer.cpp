#include "content/resultstext.h"
#include "content/reviewfile.h"
#include "content/textcodec.h"

#include "fuzzcheck.h"

#include <cstdint>

// Results texts as marked and cleared, and the review list's own file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = decodeText(bytes);
    const QStringList entries = resultsEntries(text);
    for (const QString &entry : entries) {
        // Marking never changes the cut: the same entries, one of them perhaps turned.
        const QString lesson = entry.size() > 1 ? entry.sliced(1) : QString();
        const QStringList marked = resultsEntries(markedPassed(text, lesson));
        FUZZ_CHECK(marked.size() == entries.size());
    }
    const QString cleared = clearedResults(text);
    FUZZ_CHECK(cleared.size() == text.size() && !cleared.contains(QChar(ResultsMark::passed)));
    FUZZ_CHECK(resultsEntries(resultsTextFromFile(text)).size() == entries.size());

    const QList<ReviewEntry> review = parseReviewFile(bytes);
    // What is written reads back as it was, apart from the texts' line breaks and tabs.
    FUZZ_CHECK(parseReviewFile(reviewFileBytes(review)).size() == review.size());
    return 0;
}
