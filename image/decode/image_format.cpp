#include "image_format.h"

#include <utility>

namespace tonalyx {

namespace {

std::vector<TImageFormat>& Table() {
    static std::vector<TImageFormat> formats = {
        {"JPEG",
         {".jpg", ".jpeg", ".jfif", ".jpe"},
         {"image/jpeg"},
         StreamJpegFile,
         TRowCounting::AsRowsArrive},
        {"BMP", {".bmp"}, {"image/bmp"}, StreamBmpFile, TRowCounting::WhenWhole},
        {"PNG", {".png"}, {"image/png"}, StreamPngFile, TRowCounting::AsRowsArrive},
        {"TIFF", {".tif", ".tiff"}, {"image/tiff"}, StreamTiffFile, TRowCounting::AsRowsArrive},
        {"WebP", {".webp"}, {"image/webp"}, StreamWebpFile, TRowCounting::AsRowsArrive},
        {"HEIF",
         {".heic", ".heif", ".hif"},
         {"image/heic", "image/heif"},
         StreamHeifFile,
         TRowCounting::AsRowsArrive},
        {"AVIF", {".avif"}, {"image/avif"}, StreamAvifFile, TRowCounting::AsRowsArrive},
        {"JPEG XL", {".jxl"}, {"image/jxl"}, StreamJxlFile, TRowCounting::AsRowsArrive},
        // The generic type first: the desktop's type for every raw file, those of the makers
        // without one of their own included.
        {"camera raw",
         {".dng", ".nef", ".nrw", ".cr2", ".cr3", ".crw", ".arw", ".srf", ".sr2", ".raf", ".orf",
          ".rw2", ".pef", ".srw", ".3fr", ".iiq", ".erf", ".mef", ".mos", ".kdc", ".dcr", ".rwl"},
         {"image/x-dcraw", "image/x-adobe-dng", "image/x-nikon-nef", "image/x-nikon-nrw",
          "image/x-canon-cr2", "image/x-canon-cr3", "image/x-canon-crw", "image/x-sony-arw",
          "image/x-sony-srf", "image/x-sony-sr2", "image/x-fuji-raf", "image/x-olympus-orf",
          "image/x-panasonic-rw2", "image/x-pentax-pef", "image/x-kodak-kdc", "image/x-kodak-dcr"},
         StreamRawFile,
         TRowCounting::AsRowsArrive,
         StreamRawDevelopedFile},
    };
    return formats;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        if (c != lower[i])
            return false;
    }
    return true;
}

} // namespace

const std::vector<TImageFormat>& ImageFormats() {
    return Table();
}

std::string_view ImageExtension(std::string_view path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\:");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

const TImageFormat* ImageFormatOf(std::string_view path) {
    const std::string_view ext = ImageExtension(path);
    for (const TImageFormat& format : Table())
        for (const std::string& accepted : format.Extensions)
            if (SameIgnoringAsciiCase(ext, accepted))
                return &format;
    return nullptr;
}

TOutcome<const TImageFormat*> FormatToDecode(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    const std::string name(utf8.begin(), utf8.end());
    if (const TImageFormat* format = ImageFormatOf(name))
        return format;
    const std::string_view ext = ImageExtension(name);
    return TOutcome<const TImageFormat*>::Failure(
        ext.empty() ? "no image extension" : "format " + std::string(ext) + " not supported");
}

TOutcome<TDecodeNotes> StreamImageFile(const std::filesystem::path& path, TRowTarget& target) {
    const TOutcome<const TImageFormat*> format = FormatToDecode(path);
    if (!format.Ok())
        return format.Error();
    return (*format)->Decode(path, target);
}

std::string ImageFormatNames(std::string_view lastJoin) {
    const std::vector<TImageFormat>& formats = Table();
    std::string names;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0)
            names += i + 1 == formats.size() ? lastJoin : std::string_view(", ");
        names += formats[i].Name;
    }
    return names;
}

TAddedImageFormat::TAddedImageFormat(TImageFormat format) : FBefore(Table()) {
    Table().push_back(std::move(format));
}

TAddedImageFormat::~TAddedImageFormat() {
    Table() = std::move(FBefore);
}

} // namespace tonalyx
