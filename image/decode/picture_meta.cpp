#include "picture_meta.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <libexif/exif-data.h>

namespace tonalyx {

int ExifOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 6 || size > 0xFFFF)
        return 1;
    const std::unique_ptr<ExifData, void (*)(ExifData*)> exif(exif_data_new(), exif_data_unref);
    if (!exif)
        return 1;
    // As stored: libexif's default would add the entries the standard requires, with
    // default values, and rewrite the ones it finds out of order.
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif.get(), data, static_cast<unsigned int>(size));
    // The main picture's: the orientation in the second directory is the thumbnail's.
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 ||
        entry->data == nullptr || entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

int ExifPayloadOrientation(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint8_t Name[] = {'E', 'x', 'i', 'f', 0, 0};
    constexpr std::size_t Largest = 0xFFFF; // an Exif block's most, as ExifOrientation reads
    if (data == nullptr)
        return 1;
    if (size >= sizeof Name && std::memcmp(data, Name, sizeof Name) == 0)
        return ExifOrientation(data, std::min(size, Largest));
    std::vector<std::uint8_t> block(Name, Name + sizeof Name);
    const std::size_t kept = std::min(size, Largest - sizeof Name);
    block.resize(sizeof Name + kept);
    std::memcpy(block.data() + sizeof Name, data, kept);
    return ExifOrientation(block.data(), block.size());
}

} // namespace tonalyx
