// The name an uploaded histogram picture has on the web server. The desktop program makes
// it up before the upload and the server accepts only names of this form, so both link this
// one Qt-free definition.
//
// Form: "0001t", then 20 characters from "0"-"8" and "a"-"y" whose character codes add up
// to a multiple of 7, then ".png" (29 characters). The first four characters name the
// server folder the picture lies in.
#pragma once

#include <cstddef>
#include <string_view>

namespace tonalyx {

inline constexpr std::string_view PictureFolder = "0001";
inline constexpr std::string_view PictureNamePrefix = "0001t";
inline constexpr std::string_view PictureNameExtension = ".png";
inline constexpr std::size_t PictureNameRandomLength = 20;
inline constexpr unsigned PictureNameDivisor = 7;
inline constexpr std::size_t PictureNameLength =
    PictureNamePrefix.size() + PictureNameRandomLength + PictureNameExtension.size();

// One of the characters the random part is drawn from: "0"-"8" or "a"-"y".
bool IsPictureNameCharacter(char c);

// The sum of the character codes of text, 0 for an empty text.
unsigned CharCodeSum(std::string_view text);

// Whether name has exactly the form above; case matters.
bool IsWellFormedPictureName(std::string_view name);

} // namespace tonalyx
