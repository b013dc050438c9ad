#include "png_image_helpers.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "scratch_folder.h"

namespace gridora::testing {

int RgbImage::CountOtherThan(Rgb background) const {
    return static_cast<int>(
        std::count_if(pixels.begin(), pixels.end(), [&](const Rgb& p) { return !(p == background); }));
}

int RgbImage::Count(Rgb colour) const {
    return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
}

int RgbImage::CountBlendsOf(Rgb colour, Rgb background, double min_coverage) const {
    constexpr double kTolerance = 10.0;
    const double c[3] = {double(colour.r), double(colour.g), double(colour.b)};
    const double g[3] = {double(background.r), double(background.g), double(background.b)};
    // The coverage is read from the channel where colour and background differ most.
    int widest = 0;
    for (int k = 1; k < 3; ++k)
        if (std::abs(c[k] - g[k]) > std::abs(c[widest] - g[widest])) widest = k;
    if (c[widest] == g[widest]) return 0;
    int count = 0;
    for (const Rgb& p : pixels) {
        const double v[3] = {double(p.r), double(p.g), double(p.b)};
        const double coverage = (v[widest] - g[widest]) / (c[widest] - g[widest]);
        if (coverage < min_coverage || coverage > 1.05) continue;
        bool blend = true;
        for (int k = 0; k < 3; ++k) blend = blend && std::abs(g[k] + coverage * (c[k] - g[k]) - v[k]) <= kTolerance;
        count += blend ? 1 : 0;
    }
    return count;
}

RgbImage DecodePng(std::string_view bytes) {
    RgbImage image;
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return image;
    png.format = PNG_FORMAT_RGB;
    std::vector<Rgb> pixels(static_cast<std::size_t>(png.width) * png.height);
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return image;
    }
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels = std::move(pixels);
    return image;
}

RgbImage ReadPng(const std::filesystem::path& file) { return DecodePng(ReadBytes(file)); }

}  // namespace gridora::testing
