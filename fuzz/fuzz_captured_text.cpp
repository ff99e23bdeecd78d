// The script runner's captured text: output is taken exactly when it is valid UTF-8 (checked
// here against an independent reading of the encoding), and then decodes to the same bytes.
#include "FuzzSupport.h"
#include "platform/script/ScriptVolumeControl.h"

#include <cstdint>
#include <cstring>

using namespace vellora;

namespace {

// Well-formed UTF-8 as the Unicode standard defines it (Table 3-7): no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut short.
bool wellFormed(const uint8_t* s, size_t n) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = s[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint8_t lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0)
                lo = 0xA0;
            if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (n - i < len || s[i + 1] < lo || s[i + 1] > hi)
            return false;
        for (size_t k = 2; k < len; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto text = ScriptVolumeControl::decodeUtf8(bytes);
    const QString hex = QString::fromLatin1(bytes.toHex(' '));
    FUZZ_CHECK(text.has_value() == wellFormed(data, size), hex);
    if (text) {
        // A byte-order mark in front is not part of the text.
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        FUZZ_CHECK(text->toUtf8() == body, hex);
    }
    return 0;
}
