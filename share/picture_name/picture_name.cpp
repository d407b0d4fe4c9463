#include "picture_name.h"

namespace tonalyx {

bool IsPictureNameCharacter(char c) {
    return (c >= '0' && c <= '8') || (c >= 'a' && c <= 'y');
}

unsigned CharCodeSum(std::string_view text) {
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return sum;
}

bool IsWellFormedPictureName(std::string_view name) {
    if (name.size() != PictureNameLength || !name.starts_with(PictureNamePrefix) ||
        !name.ends_with(PictureNameExtension))
        return false;
    const std::string_view random = name.substr(PictureNamePrefix.size(), PictureNameRandomLength);
    for (char c : random)
        if (!IsPictureNameCharacter(c))
            return false;
    return CharCodeSum(random) % PictureNameDivisor == 0;
}

} // namespace tonalyx
