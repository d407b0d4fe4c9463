// What a file says about showing its stored pixels: which way is up and in which colour
// space the values are. The histograms never use it: they count the pixels as stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonalyx {

// How the stored values are built, which decides the profiles that can apply to them.
enum class TStoredModel { Rgb, Grey, Cmyk };

// A colour space given by the three primaries and the tone curves instead of a profile (a
// BMP's calibrated RGB): each primary's CIE XYZ as stored, and the gamma of each channel.
struct TCalibratedRgb {
    std::array<std::array<double, 3>, 3> Primaries{}; // red, green, blue: X, Y, Z
    std::array<double, 3> Gamma{};                    // red, green, blue
    friend bool operator==(const TCalibratedRgb&, const TCalibratedRgb&) = default;
};

// What a camera raw file's picture is: the camera's own rendering it embeds, or developed
// here from the sensor's data. None for every other file.
enum class TRawRendition : std::uint8_t { None, CameraPreview, Developed };

struct TPictureMeta {
    // The Exif orientation, 1 to 8 (1: stored upright; 6: to be turned 90° clockwise); 1 when
    // the file gives none or one outside that range.
    int Orientation = 1;
    TStoredModel Model = TStoredModel::Rgb;
    // The embedded ICC profile as stored; empty when there is none.
    std::vector<std::uint8_t> IccProfile;
    // A BMP's calibrated colour space, when it gives one rather than a profile.
    std::optional<TCalibratedRgb> Calibrated;
    // The file's samples as stored, before they are brought to 8 bits: the bits of each
    // (1 to 16), and whether they include alpha.
    int StoredBits = 8;
    bool StoredAlpha = false;
    // Why a profile the file announces could not be read whole (empty when nothing went
    // wrong); the picture is then shown with its stored values.
    std::string ProfileProblem;
    TRawRendition Rendition = TRawRendition::None;
};

// The orientation an Exif block gives (the APP1 payload, starting "Exif\0\0"), read with
// libexif; 1 when it gives none, or gives one outside 1..8. Any bytes are safe.
int ExifOrientation(const std::uint8_t* data, std::size_t size);
// The same for an Exif payload that starts at its TIFF header, as PNG's eXIf and WebP's EXIF
// chunks hold it (a payload that starts "Exif\0\0" is taken as it is). Of a payload over
// 64 KB only the first 64 KB are read: the main picture's orientation comes first.
int ExifPayloadOrientation(const std::uint8_t* data, std::size_t size);

// Whether a picture of this orientation is shown with its width and height exchanged.
inline bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

} // namespace tonalyx
