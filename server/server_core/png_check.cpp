#include "png_check.h"

#include <zlib.h>

#include <cstdint>

namespace tonalyx {

namespace {

constexpr std::string_view Signature("\x89PNG\r\n\x1a\n", 8);
// Signature, then the chunk length (4), type (4), IHDR data (13) and CRC (4).
constexpr std::size_t HeaderEnd = 8 + 4 + 4 + 13 + 4;

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

bool BitDepthFitsColourType(unsigned depth, unsigned colourType) {
    switch (colourType) {
    case 0: // grey
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: // palette
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: // RGB
    case 4: // grey with alpha
    case 6: // RGBA
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

} // namespace

std::string PngProblem(std::string_view bytes) {
    if (!bytes.starts_with(Signature))
        return "not a PNG file (no PNG signature)";
    if (bytes.size() < HeaderEnd)
        return "PNG file cut short before the end of its header";
    if (BigEndian32(bytes, 8) != 13 || bytes.substr(12, 4) != "IHDR")
        return "PNG file does not begin with an IHDR chunk";
    const std::string_view ihdr = bytes.substr(16, 13);
    const std::uint32_t width = BigEndian32(ihdr, 0), height = BigEndian32(ihdr, 4);
    if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu)
        return "PNG header gives an impossible size";
    const unsigned depth = static_cast<unsigned char>(ihdr[8]);
    const unsigned colourType = static_cast<unsigned char>(ihdr[9]);
    if (!BitDepthFitsColourType(depth, colourType))
        return "PNG header gives an impossible bit depth or colour type";
    if (ihdr[10] != 0 || ihdr[11] != 0 || (ihdr[12] != 0 && ihdr[12] != 1))
        return "PNG header gives an unknown compression, filter or interlace method";
    const auto* typeAndData = reinterpret_cast<const Bytef*>(bytes.data() + 12);
    if (::crc32(0L, typeAndData, 4 + 13) != BigEndian32(bytes, 29))
        return "PNG header is damaged (CRC mismatch)";
    return {};
}

} // namespace tonalyx
