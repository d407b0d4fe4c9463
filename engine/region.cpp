#include "region.h"

#include <charconv>
#include <cstdint>

namespace tonalyx {

namespace {

// One decimal integer from the front of text, up to the next comma or the end.
std::optional<int> TakeNumber(std::string_view& text) {
    const auto comma = text.find(',');
    const std::string_view digits = text.substr(0, comma);
    if (digits.empty() || digits.front() < '0' || digits.front() > '9')
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return std::nullopt;
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    return value;
}

} // namespace

std::optional<TRegion> ParseRegion(std::string_view text) {
    if (text.empty() || text.back() == ',')
        return std::nullopt;
    int values[4];
    for (int& value : values) {
        const auto number = TakeNumber(text);
        if (!number)
            return std::nullopt;
        value = *number;
    }
    if (!text.empty())
        return std::nullopt;
    const TRegion region{values[0], values[1], values[2], values[3]};
    if (region.Width < 1 || region.Height < 1)
        return std::nullopt;
    return region;
}

std::string RegionText(const TRegion& region) {
    return std::to_string(region.X) + ',' + std::to_string(region.Y) + ',' +
           std::to_string(region.Width) + ',' + std::to_string(region.Height);
}

bool RegionFits(const TRegion& region, int width, int height) {
    // In 64 bits: X + Width may overflow an int.
    return region.X >= 0 && region.Y >= 0 && region.Width >= 1 && region.Height >= 1 &&
           std::int64_t{region.X} + region.Width <= width &&
           std::int64_t{region.Y} + region.Height <= height;
}

TRasterView CropView(const TRasterView& im, const TRegion& region) {
    TRasterView crop = im.Rows(region.Y, region.Height);
    crop.Width = region.Width;
    crop.Bits += std::ptrdiff_t{3} * region.X;
    crop.Coverage.FirstBit += region.X;
    if (crop.Alpha)
        crop.Alpha += region.X;
    return crop;
}

} // namespace tonalyx
