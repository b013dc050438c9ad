// The CP932 helpers on any bytes: conversions always end, their output is well formed, and
// cutting keeps whole characters.
#include <string>

#include "fuzz_targets.h"
#include "platform/cp932.h"

namespace gridora::fuzz {
namespace {

// Well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        std::size_t n;
        uint32_t cp;
        if (b < 0x80) { ++i; continue; }
        if (b >= 0xC2 && b <= 0xDF) { n = 1; cp = b & 0x1Fu; }
        else if (b >= 0xE0 && b <= 0xEF) { n = 2; cp = b & 0x0Fu; }
        else if (b >= 0xF0 && b <= 0xF4) { n = 3; cp = b & 0x07u; }
        else return false;
        if (i + n >= s.size()) return false;  // cut short
        for (std::size_t k = 1; k <= n; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += n + 1;
    }
    return true;
}

// Whether `cut` is a prefix of `text` that ends on a character boundary and that the next
// character of `text` would make longer than `max_bytes`.
bool IsWholeCharacterCut(std::string_view text, std::string_view cut, std::size_t max_bytes) {
    if (cut.size() > max_bytes) return false;
    if (text.substr(0, cut.size()) != cut) return false;
    std::size_t i = 0;
    while (i < cut.size()) i += IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i != cut.size() && cut.size() != text.size()) return false;  // split a character
    if (cut.size() == text.size()) return true;
    const std::size_t next = IsCp932LeadByte(static_cast<unsigned char>(text[cut.size()])) ? 2 : 1;
    return cut.size() + next > max_bytes;
}

}  // namespace

int FuzzCp932(const uint8_t* data, std::size_t size) {
    InputCursor in(data, size);
    const std::size_t max_bytes = in.Byte() % 40;
    const std::string_view bytes = in.Rest();

    const std::string shown = Cp932ToUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(shown), "CP932 text shows as well-formed UTF-8");

    const std::string stored = ToCp932(bytes);  // the bytes taken as (possibly bad) UTF-8
    FUZZ_CHECK(stored.size() <= bytes.size() * 2 + 1, "UTF-8 to CP932 stays in proportion");
    // Text that went through CP932 once converts back and forth without change.
    FUZZ_CHECK(ToCp932(Cp932ToUtf8(stored)) == stored, "CP932 made from UTF-8 is stable");

    const std::string cut = TruncateCp932(bytes, max_bytes);
    FUZZ_CHECK(IsWholeCharacterCut(bytes, cut, max_bytes), "cutting keeps whole characters");
    return 0;
}

}  // namespace gridora::fuzz
