// Reading the PNG pictures MapServer draws, to count the pixels a layer left.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace gridora::testing {

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // row by row

    // Pixels that differ from `background`.
    int CountOtherThan(Rgb background) const;
    int Count(Rgb colour) const;
    // Pixels that are `colour` laid over `background` with a coverage of at least
    // `min_coverage` (0-1): antialiased text and lines in that colour.
    int CountBlendsOf(Rgb colour, Rgb background, double min_coverage) const;
};

// Decodes PNG bytes; an empty image (width 0) when they are not a PNG.
RgbImage DecodePng(std::string_view bytes);
RgbImage ReadPng(const std::filesystem::path& file);

}  // namespace gridora::testing
