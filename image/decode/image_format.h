// The image formats the program reads, in one table, each recognised by its extensions alone.
// The window's folder stepping, its open dialog and messages, the decode that counts as it
// goes, the tools and their help take the formats from here: a new format is one entry and
// its decoder (the desktop entry and the metainfo list its MIME types too, which a test
// compares with the table).
#pragma once

#include "decoder.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tonalyx {

// A format's decoder, band by band into a row target (decoder.h).
using TStreamDecoder =
    std::function<TOutcome<TDecodeNotes>(const std::filesystem::path& path, TRowTarget& target)>;

// When DecodeAndCount (image_loader.h) counts a picture's rows.
enum class TRowCounting {
    // The decoder writes each row once, final, top to bottom: the rows are counted, and handed
    // to a second consumer, while later ones are still being decoded.
    AsRowsArrive,
    // The rows come in another order (a BMP's mostly bottom to top): counted once the
    // picture is whole.
    WhenWhole,
};

struct TImageFormat {
    std::string Name;                    // "JPEG": the open dialog's label, messages and help
    std::vector<std::string> Extensions; // lower case, dot included, in the order offered
    std::vector<std::string> MimeTypes;  // what the desktop entry says the program opens
    TStreamDecoder Decode;
    TRowCounting Counting = TRowCounting::WhenWhole;
    // Another picture of the same file, when it holds one: a camera raw file's development
    // of the sensor's data, beside the camera's own preview that Decode gives.
    TStreamDecoder Develop = nullptr;

    // Develop when asked and there is such a picture, else Decode.
    const TStreamDecoder& DecoderFor(bool developed) const {
        return developed && Develop ? Develop : Decode;
    }
};

// A format by its name in the table ("JPEG", "BMP").
using TFType = std::string_view;

// The formats in effect, in the order their extensions are accepted and offered.
const std::vector<TImageFormat>& ImageFormats();

// From the last '.' of the file-name part of a UTF-8 path to the end, dot included; empty
// when the file-name part has no dot. A separator is '/' everywhere and also '\\' and the
// drive colon on Windows.
std::string_view ImageExtension(std::string_view path);

// The format whose extension path carries (ASCII case ignored), or null; the first in the
// table when two share one. Valid while the table is unchanged.
const TImageFormat* ImageFormatOf(std::string_view path);

// The format a decode of path takes, or why there is none ("no image extension", "format
// .png not supported").
TOutcome<const TImageFormat*> FormatToDecode(const std::filesystem::path& path);

// Decodes path into target with the decoder its extension names, for a caller that keeps the
// rows its own way (the open dialog's preview); FormatToDecode's reason when there is none.
TOutcome<TDecodeNotes> StreamImageFile(const std::filesystem::path& path, TRowTarget& target);

// The formats' names as one list, the last joined by lastJoin: "JPEG or BMP" for " or ",
// "JPEG, BMP & PNG" for " & " with a third.
std::string ImageFormatNames(std::string_view lastJoin);

// Adds a format after the others while it lives; the table is as before once it is gone.
// For tests, which add a made-up format with a stub decoder: made and dropped while nothing
// decodes or lists a folder, as nothing guards the table.
class TAddedImageFormat {
  public:
    explicit TAddedImageFormat(TImageFormat format);
    ~TAddedImageFormat();
    TAddedImageFormat(const TAddedImageFormat&) = delete;
    TAddedImageFormat& operator=(const TAddedImageFormat&) = delete;

  private:
    std::vector<TImageFormat> FBefore;
};

} // namespace tonalyx
