#include "platform/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace gridora {
namespace {

// Length of the UTF-8 sequence starting at s[0] as its lead byte announces it, cut to its
// continuation bytes that are really there (1 for a stray byte).
std::size_t Utf8SequenceLength(const char* s, std::size_t left) {
    const unsigned char lead = static_cast<unsigned char>(s[0]);
    std::size_t n = lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    n = std::min(n, left);
    std::size_t i = 1;
    while (i < n && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    return i;
}

// One byte: an invalid CP932 byte is replaced alone, so a byte after it that is no trail
// byte (a separator, say) is kept.
std::size_t SingleByte(const char*, std::size_t) { return 1; }

// One conversion descriptor per direction and thread, opened on first use: opening one
// costs more than converting a short text.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`, replacing each unconvertible input character by `replacement`:
    // `character_length` tells how many input bytes that character spans.
    std::string Convert(std::string_view in, std::string_view replacement,
                        std::size_t (*character_length)(const char*, std::size_t)) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        std::string out;
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        char buf[4096];
        while (src_left > 0) {
            char* dst = buf;
            std::size_t dst_left = sizeof buf;
            std::size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                // EILSEQ or EINVAL (truncated sequence at the end): one replacement per
                // character, and on with the next.
                out.append(replacement);
                std::size_t n = character_length(src, src_left);
                src += n;
                src_left -= n;
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string ToCp932(std::string_view utf8) {
    thread_local Converter converter("CP932", "UTF-8");
    return converter.Convert(utf8, "?", Utf8SequenceLength);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    thread_local Converter converter("UTF-8", "CP932");
    return converter.Convert(cp932, "\xEF\xBF\xBD", SingleByte);
}

std::string TruncateCp932(std::string_view cp932, std::size_t max_bytes) {
    std::size_t i = 0;
    while (i < cp932.size()) {
        std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
        if (i + width > max_bytes) break;
        i += width;
    }
    return std::string(cp932.substr(0, std::min(i, cp932.size())));
}

}  // namespace gridora
