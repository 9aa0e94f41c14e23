#include "content/textcodec.h"

#include "fuzzcheck.h"

#include <cstdint>

// Decoding any bytes, and encoding what came out back to GBK.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const DecodedText decoded = decodeTextDetailed(bytes);
    FUZZ_CHECK(decoded.text == decodeText(bytes));
    FUZZ_CHECK(!hasLoneSurrogate(decoded.text));
    // "*" and "#" can be no part of a GBK or UTF-8 sequence, so damaged bytes around them
    // never take them away; "^" and "\\" can be GBK trail bytes, and are never made up.
    for (const char separator : {'*', '#'}) {
        FUZZ_CHECK(decoded.text.count(QLatin1Char(separator)) == bytes.count(separator));
    }
    for (const char separator : {'^', '\\'}) {
        FUZZ_CHECK(decoded.text.count(QLatin1Char(separator)) <= bytes.count(separator));
    }
    if (decoded.encoding == TextEncoding::Ascii) {
        FUZZ_CHECK(decoded.text == QString::fromLatin1(bytes));
    }
    const QByteArray gbk = encodeGbk(decoded.text);
    FUZZ_CHECK(!decodeTextDetailed(gbk).hadInvalidBytes);
    FUZZ_CHECK(decodeGbk(gbk).size() <= decoded.text.size());
    return 0;
}
