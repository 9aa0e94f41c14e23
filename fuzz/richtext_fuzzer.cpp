#include "content/richtext.h"

#include "fuzzcheck.h"

#include <cstdint>

// Any bytes as an RTF document: the signature is put in front so that every input
// reaches the RTF reader.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray document("{\\rtf1");
    document.append(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    FUZZ_CHECK(looksLikeRichText(document));
    const QString text = plainTextFromFileBytes(document);
    FUZZ_CHECK(!hasLoneSurrogate(text));
    FUZZ_CHECK(!text.contains(QChar(0)));
    return 0;
}
