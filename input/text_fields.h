// The field rules shared by every input text: splitting at ",", integers that never fail,
// and reals that must be numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace gridora {

// Returns the text before the first "," of `line` and removes it and that "," from
// `line`; without a "," returns all of `line` and leaves it empty. No quoting, no trimming.
std::string_view TakeField(std::string_view& line);

// Whether a text holds nothing but blanks and control characters (every byte up to ' '):
// an entry of the user's that names nothing.
bool IsBlank(std::string_view text);

// A decimal integer with optional leading blanks and sign. Anything else, an empty text
// or a value outside 32 bits, counts as 0.
int32_t ParseInteger(std::string_view text);

// A decimal real ("." as decimal point, optional sign and exponent, blanks around allowed).
// Nothing for an empty or malformed text.
std::optional<double> ParseReal(std::string_view text);

// Where a field was read; `file` is the CP932 path text used in messages.
struct SourceLine {
    std::string_view file;
    int number = 0;
};

// ParseReal, or ConversionError naming `at` when the text is not a number.
double RealField(std::string_view text, const SourceLine& at);

}  // namespace gridora
