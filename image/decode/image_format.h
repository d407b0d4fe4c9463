// Which files are images, by their extension alone: the one rule for the window's folder
// stepping, its open funnel and the command-line tool.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tonalyx {

enum class TFType { JPG, BMP };

struct TAcceptedExt {
    TFType Type;
    const char* Ext; // lower case, dot included
};

// Image files are recognised by their extension alone, in this order.
inline constexpr std::array<TAcceptedExt, 5> AcceptedExts = {{
    {TFType::JPG, ".jpg"},
    {TFType::JPG, ".jpeg"},
    {TFType::JPG, ".jfif"},
    {TFType::JPG, ".jpe"},
    {TFType::BMP, ".bmp"},
}};

// From the last '.' of the file-name part of a UTF-8 path to the end, dot included; empty
// when the file-name part has no dot. A separator is '/' everywhere and also '\\' and the
// drive colon on Windows.
std::string_view ImageExtension(std::string_view path);

// The type whose extension path carries (ASCII case ignored), or none.
std::optional<TFType> ImageTypeOf(std::string_view path);

} // namespace tonalyx
