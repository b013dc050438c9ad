// Settings text of any bytes: reading never fails, and a key written with a sane name is
// read back as written, also after the text has gone through Text() and been parsed again.
#include <string>

#include "fuzz_targets.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"

namespace gridora::fuzz {
namespace {

// A section or key name from the input: ASCII letters, digits and "_", and whole two-byte
// CP932 characters, never empty. Blanks, "=", ";", "[" and "]" have meanings of their own
// in the file and are left out, as are lone lead bytes.
std::string SaneName(InputCursor& in) {
    std::string name;
    const std::size_t length = 1 + in.Byte() % 12;
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t b = in.Byte();
        if (IsCp932LeadByte(b)) {
            uint8_t trail = in.Byte();
            trail = static_cast<uint8_t>(0x40 + trail % (0xFD - 0x40));
            if (trail == 0x7F) trail = 0x80;
            name += static_cast<char>(b);
            name += static_cast<char>(trail);
        } else {
            static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
            name += kAlphabet[b % (sizeof kAlphabet - 1)];
        }
    }
    return name;
}

// A value: any bytes but line ends, as the settings dialog may store.
std::string SaneValue(InputCursor& in) {
    std::string value(in.Bytes(in.Byte() % 24));
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return value;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

int FuzzIniText(const uint8_t* data, std::size_t size) {
    InputCursor in(data, size);
    const std::string section = SaneName(in);
    const std::string key = SaneName(in);
    const std::string value = SaneValue(in);
    const int32_t number = in.Int32();
    const std::string other_key = SaneName(in) + "_n";
    const std::string text(in.Rest());

    IniFile file("unused.ini", text);
    // Reading keys that may or may not be there: the default comes back for a missing one.
    const bool had_key = file.HasKey(section, key);
    const std::string before = file.ReadString(section, key, "\x01");
    FUZZ_CHECK(had_key || before == "\x01", "a missing key reads as the default");
    (void)file.ReadInteger(section, key, -7);

    file.WriteString(section, key, value);
    file.WriteInteger(section, other_key, number);
    FUZZ_CHECK(file.ReadString(section, key, "\x01") == TrimBlanks(value), "a written value reads back");
    if (!EqualsIgnoringAsciiCase(key, other_key))
        FUZZ_CHECK(file.ReadInteger(section, other_key, number == 0 ? 1 : 0) == number,
                   "a written integer reads back");

    const IniFile reparsed("unused.ini", file.Text());
    FUZZ_CHECK(reparsed.Text() == file.Text(), "the saved text parses into the same lines");
    FUZZ_CHECK(reparsed.ReadString(section, key, "\x01") == TrimBlanks(value), "a saved value reads back");
    return 0;
}

}  // namespace gridora::fuzz
