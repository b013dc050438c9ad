// CP932 (Windows Shift-JIS) text helpers. The system's own texts are written in the
// source as UTF-8 and converted once, here; data bytes pass through untouched.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace gridora {

// UTF-8 to CP932. Each character CP932 cannot hold (and each invalid byte) becomes one "?".
std::string ToCp932(std::string_view utf8);

// CP932 to UTF-8, for showing text to a person. Invalid bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// True when byte b starts a two-byte CP932 character.
inline bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Cuts CP932 text to at most max_bytes, never between the two bytes of one character.
std::string TruncateCp932(std::string_view cp932, std::size_t max_bytes);

}  // namespace gridora
