#include "content/richtext.h"
#include "content/settingsrecord.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>

// A settings file, RTF or plain, cut into both programs' records and converted the
// way start-up converts the fields.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = plainTextFromFileBytes(bytes);
    for (const int count : {orvessaSettingsFields, miniSettingsFields}) {
        const std::vector<std::optional<QString>> fields = cutSettingsFields(text, count);
        FUZZ_CHECK(fields.size() == static_cast<size_t>(count));
        bool cut = true;
        for (const std::optional<QString> &field : fields) {
            FUZZ_CHECK(cut || !field); // nothing is cut after the first missing separator
            cut = field.has_value();
            if (!field) {
                continue;
            }
            FUZZ_CHECK(!field->contains(u'\\'));
            const double number = leadingNumber(*field);
            FUZZ_CHECK(std::isfinite(number));
            if (const std::optional<qint32> whole = wholeNumber(*field)) {
                FUZZ_CHECK(number == static_cast<double>(*whole));
            }
        }
    }
    return 0;
}
