// TIFF decoding with libtiff, band by band into a TRowTarget, from a file or from memory.
//
// Only the first directory (page) is read, and the chain of the others is never walked: a
// file of thousands of pages opens as fast as one of one. Read: grey of 1, 2, 4, 8 and 16
// bits (MinIsWhite turned to MinIsBlack), RGB of 8 and 16 bits, either with an alpha
// sample, palettes of up to 8-bit indices expanded to their colours; strips or tiles, the
// samples of a pixel together or in planes of their own; every compression libtiff decodes
// (JPEG with YCbCr colour converted to RGB by libtiff's JPEG codec). Refused with a plain
// reason: CMYK, Lab, LogLuv, floating-point and signed samples, other bit depths.
//
// libtiff decodes a strip or a tile at a time. A strip's samples are held until its rows are
// written; for tiles, a whole row of tiles (the tile height × the picture's width). Both
// count in what the decoder holds, with the largest compressed strip or tile libtiff reads.
// Its messages go to handlers of this decode's own (never the process-wide ones, which are
// silenced once), and its allocations are bounded.
#include "byte_source.h"
#include "decoder.h"
#include "layout_adapter.h"
#include "open_reasons.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include <tiffio.h>

namespace tonalyx {
namespace {

using TError = std::optional<TFailure>;

// libtiff reads through a position in the byte source; it never writes.
struct TClientFile {
    TByteSource& Bytes;
    std::int64_t Pos = 0;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<TClientFile*>(handle);
    if (size <= 0)
        return 0;
    const std::size_t got = file->Bytes.ReadAt(file->Pos, buffer, static_cast<std::size_t>(size));
    file->Pos += static_cast<std::int64_t>(got);
    return static_cast<tmsize_t>(got);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<TClientFile*>(handle);
    const std::int64_t base = whence == SEEK_SET   ? 0
                              : whence == SEEK_CUR ? file->Pos
                              : whence == SEEK_END ? file->Bytes.Size()
                                                   : -1;
    std::int64_t to = 0;
    if (base < 0 || __builtin_add_overflow(base, static_cast<std::int64_t>(offset), &to) || to < 0)
        return static_cast<toff_t>(-1);
    file->Pos = to;
    return static_cast<toff_t>(to);
}

int CloseProc(thandle_t) {
    return 0;
}

toff_t SizeProc(thandle_t handle) {
    return static_cast<toff_t>(static_cast<TClientFile*>(handle)->Bytes.Size());
}

int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// What libtiff says during one decode.
struct TLibMessages {
    std::string Errors;       // every error, joined (the first is usually the telling one)
    bool EndsEarly = false;   // a codec met the end of its data before the end of its rows
    bool ProfileLost = false; // the profile's tag could not be read, and was dropped

    void Heard(const std::string& message) {
        // libjpeg's premature end inside a JPEG strip: the codec would make up the rest.
        EndsEarly = EndsEarly || message.find("Premature end") != std::string::npos;
        ProfileLost = ProfileLost || message.find("ICC Profile") != std::string::npos;
    }
};

std::string Formatted(const char* module, const char* format, va_list args) {
    std::array<char, 512> text{};
    std::vsnprintf(text.data(), text.size(), format, args);
    return module && *module ? std::string(module) + ": " + text.data() : std::string(text.data());
}

// Both return 1: handled, the process-wide handlers are not called. Called from C, so
// nothing may be thrown through them.
// Both return 1: handled, the process-wide handlers are not called. Called from C, so
// nothing may be thrown through them.
int OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* messages = static_cast<TLibMessages*>(user);
    try {
        const std::string message = Formatted(module, format, args);
        messages->Heard(message);
        if (messages->Errors.size() < 2000)
            messages->Errors += (messages->Errors.empty() ? "" : "; ") + message;
    } catch (...) {
    }
    return 1;
}

int OnWarning(TIFF*, void* user, const char* module, const char* format, va_list args) {
    try {
        static_cast<TLibMessages*>(user)->Heard(Formatted(module, format, args));
    } catch (...) {
    }
    return 1;
}

struct TTiffClose {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct TOptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
using TTiff = std::unique_ptr<TIFF, TTiffClose>;

// libtiff's largest single allocation: what its directory and a compressed strip can take
// (both bounded by the file's size) and a margin for its codecs' own state. The samples a
// strip decodes to are the decoder's, in a buffer counted in what it holds.
constexpr std::int64_t LibraryMargin = 256LL << 20;

// a × b, or the largest value when it would not fit: what such a product is set against
// (memory) refuses it anyway.
std::int64_t Times(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::int64_t>::max() / 4
                                                  : product;
}

// The header, checked before libtiff sees the file: what is no TIFF at all, or ends before
// its first directory does, is told apart from a damaged one.
TError CheckHeader(TByteSource& in) {
    const std::int64_t size = in.Size();
    if (size == 0)
        return EmptyFile();
    std::array<std::uint8_t, 16> head{};
    const std::size_t got = in.ReadAt(0, head.data(), head.size());
    const bool little = head[0] == 'I' && head[1] == 'I';
    const bool big = head[0] == 'M' && head[1] == 'M';
    const int magic = little ? head[2] | head[3] << 8 : head[2] << 8 | head[3];
    if (got < 4 || (!little && !big) || (magic != 42 && magic != 43))
        return NotPictureOf("TIFF", "no TIFF signature");
    const bool bigTiff = magic == 43;
    if (got < (bigTiff ? 16u : 8u))
        return FileEndsEarly("the header is cut short");
    const auto number = [&](std::int64_t at, int bytes) {
        std::array<std::uint8_t, 8> b{};
        if (!in.ReadAllAt(at, b.data(), static_cast<std::size_t>(bytes)))
            return std::numeric_limits<std::uint64_t>::max();
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= std::uint64_t{b[static_cast<std::size_t>(little ? i : bytes - 1 - i)]} << (8 * i);
        return v;
    };
    const std::uint64_t directory = number(bigTiff ? 8 : 4, bigTiff ? 8 : 4);
    const std::uint64_t entries = number(static_cast<std::int64_t>(std::min<std::uint64_t>(
                                             directory, std::numeric_limits<std::int64_t>::max())),
                                         bigTiff ? 8 : 2);
    const std::uint64_t entryBytes = bigTiff ? 20 : 12;
    if (directory >= static_cast<std::uint64_t>(size) ||
        entries > static_cast<std::uint64_t>(size) / entryBytes ||
        directory + (bigTiff ? 8 : 2) + entries * entryBytes > static_cast<std::uint64_t>(size))
        return FileEndsEarly("the first directory is cut short");
    return std::nullopt;
}

// What a page is made of, from its tags, checked before any of its data is decoded.
struct TPage {
    int Width = 0, Height = 0;
    int Bits = 8;            // of a stored sample
    int SamplesPerPixel = 1; // stored
    int Kept = 1;            // the stored samples read: colour (or a palette index), alpha
    bool Separate = false;   // each sample in a plane of its own
    bool MinIsWhite = false;
    const std::uint16_t* Palette[3] = {nullptr, nullptr, nullptr}; // red, green, blue
    TPixelLayout Layout;
    TPictureMeta Meta;
    // Strips are blocks as wide as the picture.
    bool Tiled = false;
    std::int64_t BlockWidth = 0, BlockHeight = 0;
    std::int64_t BlocksAcross = 1, BlocksDown = 1;
    std::int64_t RowBytes = 0;   // of one plane of a block's row
    std::int64_t BlockBytes = 0; // of one plane of a block
    std::int64_t LargestCompressed = 0;
    int Planes() const { return Separate ? Kept : 1; }
};

TError ReadSampleKind(TIFF* tif, TPage& page) {
    std::uint16_t format = SAMPLEFORMAT_UINT, bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (format == SAMPLEFORMAT_IEEEFP)
        return UnsupportedKind("TIFF", "floating-point samples");
    if (format == SAMPLEFORMAT_INT)
        return UnsupportedKind("TIFF", "signed samples");
    if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID)
        return UnsupportedKind("TIFF", "sample format " + std::to_string(format));
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
        return UnsupportedKind("TIFF", std::to_string(bits) + " bits a sample");
    page.Bits = bits;
    page.SamplesPerPixel = samples;
    page.Separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
    return std::nullopt;
}

// The colour samples and what the file's photometric interpretation makes of them.
TError ReadColours(TIFF* tif, std::uint16_t compression, TPage& page, int& colours) {
    std::uint16_t photometric = 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        return BrokenHeader("no photometric interpretation");
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        page.MinIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
        page.Meta.Model = TStoredModel::Grey;
        colours = 1;
        return std::nullopt;
    case PHOTOMETRIC_RGB:
        colours = 3;
        return std::nullopt;
    case PHOTOMETRIC_PALETTE:
        if (page.Bits > 8)
            return UnsupportedKind("TIFF", "a palette of 16-bit indices");
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &page.Palette[0], &page.Palette[1],
                          &page.Palette[2]))
            return BrokenHeader("a palette picture without its palette");
        colours = 1;
        return std::nullopt;
    case PHOTOMETRIC_YCBCR:
        // libtiff's JPEG codec turns YCbCr into RGB; other codecs leave it subsampled.
        if (compression != COMPRESSION_JPEG || page.Separate || page.Bits != 8)
            return UnsupportedKind("TIFF", "YCbCr colour");
        if (!TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
            return UnsupportedKind("TIFF", "YCbCr colour");
        colours = 3;
        return std::nullopt;
    case PHOTOMETRIC_SEPARATED:
        return UnsupportedKind("TIFF", "CMYK");
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
        return UnsupportedKind("TIFF", "Lab");
    case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV:
        return UnsupportedKind("TIFF", "LogLuv");
    case PHOTOMETRIC_MASK:
        return UnsupportedKind("TIFF", "a transparency mask");
    default:
        return UnsupportedKind("TIFF", "photometric interpretation " + std::to_string(photometric));
    }
}

// 8-bit colours in a 16-bit palette: old writers stored them so, and readers take a palette
// whose entries all lie below 256 for one of them.
bool EightBitPalette(const TPage& page) {
    const std::size_t entries = std::size_t{1} << page.Bits;
    for (const std::uint16_t* channel : page.Palette)
        for (std::size_t i = 0; i < entries; ++i)
            if (channel[i] >= 256)
                return false;
    return true;
}

TError ReadLayout(TIFF* tif, TPage& page) {
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression)) {
        const TIFFCodec* codec = TIFFFindCODEC(compression);
        return UnsupportedKind("TIFF", "compression " + (codec ? std::string(codec->name)
                                                               : std::to_string(compression)));
    }
    if (TError e = ReadSampleKind(tif, page))
        return e;
    int colours = 1;
    if (TError e = ReadColours(tif, compression, page, colours))
        return e;
    if (page.SamplesPerPixel < colours)
        return BrokenHeader(std::to_string(page.SamplesPerPixel) + " samples for " +
                            std::to_string(colours) + " colours");
    // Alpha is the first extra sample, when it says it is; other extra samples are skipped.
    // Associated (premultiplied) colour is counted as stored, not divided by its alpha.
    std::uint16_t extras = 0;
    const std::uint16_t* kinds = nullptr;
    const bool alpha = !page.Palette[0] && page.SamplesPerPixel > colours &&
                       TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0 &&
                       (kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA);
    page.Kept = colours + (alpha ? 1 : 0);
    page.Meta.StoredAlpha = alpha;
    page.Meta.StoredBits = page.Bits;
    if (page.Palette[0]) {
        page.Meta.StoredBits = EightBitPalette(page) ? 8 : 16;
        page.Layout = {TSamples::Rgb, page.Meta.StoredBits};
    } else {
        page.Layout = {colours == 1 ? (alpha ? TSamples::GreyAlpha : TSamples::Grey)
                                    : (alpha ? TSamples::Rgba : TSamples::Rgb),
                       page.Bits};
    }
    return std::nullopt;
}

// The strips' or tiles' geometry, from the tags, set against what libtiff computes from them.
TError ReadBlocks(TIFF* tif, TPage& page) {
    const std::int64_t samplesInPlane = page.Separate ? 1 : page.SamplesPerPixel;
    page.Tiled = TIFFIsTiled(tif) != 0;
    std::uint64_t libRowBytes = 0, libBlockBytes = 0;
    std::uint32_t blocks = 0;
    if (page.Tiled) {
        std::uint32_t width = 0, height = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &height);
        if (width == 0 || height == 0)
            return BrokenHeader("tiles of " + std::to_string(width) + " × " +
                                std::to_string(height));
        page.BlockWidth = width;
        page.BlockHeight = height;
        page.BlocksAcross = (page.Width + page.BlockWidth - 1) / page.BlockWidth;
        libRowBytes = TIFFTileRowSize64(tif);
        libBlockBytes = TIFFTileSize64(tif);
        blocks = TIFFNumberOfTiles(tif);
    } else {
        std::uint32_t rows = 0;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        if (rows == 0)
            return BrokenHeader("strips of no rows");
        page.BlockWidth = page.Width;
        page.BlockHeight = std::min<std::int64_t>(rows, page.Height);
        libRowBytes = TIFFScanlineSize64(tif);
        libBlockBytes = TIFFStripSize64(tif);
        blocks = TIFFNumberOfStrips(tif);
    }
    page.BlocksDown = (page.Height + page.BlockHeight - 1) / page.BlockHeight;
    page.RowBytes = (Times(Times(page.BlockWidth, samplesInPlane), page.Bits) + 7) / 8;
    page.BlockBytes = Times(page.RowBytes, page.BlockHeight);
    const std::int64_t planesInFile = page.Separate ? page.SamplesPerPixel : 1;
    if (libRowBytes != static_cast<std::uint64_t>(page.RowBytes) ||
        libBlockBytes != static_cast<std::uint64_t>(page.BlockBytes) ||
        std::int64_t{blocks} < Times(planesInFile, page.BlocksAcross * page.BlocksDown))
        return BrokenHeader("the strips or tiles do not fit the picture's size");
    return std::nullopt;
}

// Block (bx, by) of a plane: its number among the strips or tiles.
std::uint32_t BlockNumber(const TPage& page, int plane, std::int64_t bx, std::int64_t by) {
    return static_cast<std::uint32_t>((plane * page.BlocksDown + by) * page.BlocksAcross + bx);
}

// Every block the decode reads has data within the file: a file cut short is refused before
// its picture is allocated, never shown with made-up rows.
TError CheckBlocksInFile(TIFF* tif, TByteSource& in, TPage& page) {
    const auto size = static_cast<std::uint64_t>(in.Size());
    for (int plane = 0; plane < page.Planes(); ++plane)
        for (std::int64_t by = 0; by < page.BlocksDown; ++by)
            for (std::int64_t bx = 0; bx < page.BlocksAcross; ++bx) {
                const std::uint32_t n = BlockNumber(page, plane, bx, by);
                int err = 0;
                const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif, n, &err);
                const std::uint64_t bytes = err ? 0 : TIFFGetStrileByteCountWithErr(tif, n, &err);
                if (err)
                    return BrokenHeader("the places of the strips or tiles cannot be read");
                if (offset > size || bytes > size - offset)
                    return FileEndsEarly("strip or tile " + std::to_string(n) +
                                         " lies past the file's end");
                // libtiff would make up a block without data (a sparse file's) as zeros.
                if (bytes == 0)
                    return BrokenPictureData("strip or tile " + std::to_string(n) + " has no data");
                page.LargestCompressed =
                    std::max(page.LargestCompressed, static_cast<std::int64_t>(bytes));
            }
    return std::nullopt;
}

TError ReadPage(TIFF* tif, TByteSource& in, const TLibMessages& messages, TPage& page) {
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return BrokenHeader("a size of " + std::to_string(width) + " × " + std::to_string(height));
    if (std::int64_t{width} * height > MaxDecodePixels)
        return PictureTooLarge(width, height);
    page.Width = static_cast<int>(width);
    page.Height = static_cast<int>(height);
    if (TError e = ReadLayout(tif, page))
        return e;
    if (TError e = ReadBlocks(tif, page))
        return e;
    if (TError e = CheckBlocksInFile(tif, in, page))
        return e;
    std::uint16_t orientation = 1;
    if (TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation) && orientation >= 1 &&
        orientation <= 8)
        page.Meta.Orientation = orientation;
    std::uint32_t profileBytes = 0;
    const std::uint8_t* profile = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &profileBytes, &profile) && profile)
        page.Meta.IccProfile.assign(profile, profile + profileBytes);
    else if (messages.ProfileLost)
        page.Meta.ProfileProblem = "the embedded colour profile cannot be read";
    return std::nullopt;
}

// A block's stored row (one pointer a plane, each at the row's first pixel) as samples of
// the declared layout.
class TRowReader {
  public:
    // indices: room for a block row's palette indices, in a palette picture.
    TRowReader(const TPage& page, std::uint8_t* indices) : Page(page), Indices(indices) {}

    void operator()(const std::uint8_t* const* planes, std::int64_t n, void* out) {
        if (Page.Palette[0]) {
            Samples(planes, n, Indices);
            if (Page.Layout.Depth > 8)
                Expand(n, static_cast<std::uint16_t*>(out));
            else
                Expand(n, static_cast<std::uint8_t*>(out));
            return;
        }
        Samples(planes, n, out);
        if (Page.MinIsWhite) {
            if (Page.Bits > 8)
                Invert(static_cast<std::uint16_t*>(out), n);
            else
                Invert(static_cast<std::uint8_t*>(out), n);
        }
    }

  private:
    // The kept samples of n pixels, a byte each up to 8 bits, two from 9.
    void Samples(const std::uint8_t* const* planes, std::int64_t n, void* out) const {
        if (Page.Bits == 16)
            Gather(planes, n, static_cast<std::uint16_t*>(out));
        else if (Page.Bits == 8)
            Gather(planes, n, static_cast<std::uint8_t*>(out));
        else
            Unpack(planes, n, static_cast<std::uint8_t*>(out));
    }

    // Samples of 8 or 16 bits (libtiff has put the latter in the machine's byte order).
    template <typename T>
    void Gather(const std::uint8_t* const* planes, std::int64_t n, T* out) const {
        const int kept = Page.Kept;
        if (!Page.Separate && kept == Page.SamplesPerPixel) {
            std::memcpy(out, planes[0], static_cast<std::size_t>(n * kept) * sizeof(T));
            return;
        }
        const std::int64_t step = Page.Separate ? 1 : Page.SamplesPerPixel;
        for (int s = 0; s < kept; ++s) {
            const T* in =
                reinterpret_cast<const T*>(planes[Page.Separate ? s : 0]) + (Page.Separate ? 0 : s);
            T* to = out + s;
            for (std::int64_t x = 0; x < n; ++x)
                to[x * kept] = in[x * step];
        }
    }

    // Samples of 1, 2 or 4 bits, packed from the most significant bit on.
    void Unpack(const std::uint8_t* const* planes, std::int64_t n, std::uint8_t* out) const {
        const int bits = Page.Bits, kept = Page.Kept;
        const unsigned mask = (1u << bits) - 1;
        const std::int64_t step = Page.Separate ? 1 : Page.SamplesPerPixel;
        for (int s = 0; s < kept; ++s) {
            const std::uint8_t* in = planes[Page.Separate ? s : 0];
            const std::int64_t first = Page.Separate ? 0 : s;
            for (std::int64_t x = 0; x < n; ++x) {
                const std::int64_t bit = (x * step + first) * bits;
                out[x * kept + s] = static_cast<std::uint8_t>(
                    (in[bit >> 3] >> (8 - bits - static_cast<int>(bit & 7))) & mask);
            }
        }
    }

    // MinIsWhite grey to MinIsBlack; alpha stays.
    template <typename T> void Invert(T* samples, std::int64_t n) const {
        const auto largest = static_cast<T>((1u << Page.Bits) - 1);
        for (std::int64_t x = 0; x < n; ++x)
            samples[x * Page.Kept] = static_cast<T>(largest - samples[x * Page.Kept]);
    }

    template <typename T> void Expand(std::int64_t n, T* rgb) const {
        for (std::int64_t x = 0; x < n; ++x, rgb += 3) {
            const std::uint8_t index = Indices[x];
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<T>(Page.Palette[c][index]);
        }
    }

    const TPage& Page;
    std::uint8_t* Indices;
};

// The adapter's bands, claimed as the rows reach them; the target is asked before each.
class TBands {
  public:
    TBands(TLayoutAdapter& adapter, int height) : Adapter(adapter), Height(height) {}
    // Row y's room, or null when the target has given up.
    std::uint8_t* Row(int y) {
        if (y >= First + Count) {
            Finish();
            if (Adapter.Cancelled())
                return nullptr;
            First = y;
            Count = std::min(StreamBandRows, Height - y);
            Band = Adapter.Rows(First, Count);
        }
        return Band.Bits + (y - First) * Band.Stride;
    }
    void Finish() {
        if (Count > 0)
            Adapter.Written(First, Count);
        Count = 0;
    }

  private:
    TLayoutAdapter& Adapter;
    int Height;
    int First = 0, Count = 0;
    TRowBand Band;
};

// Decodes the blocks of one row of blocks into held, the planes of each block together.
TError DecodeBlockRow(TIFF* tif, const TPage& page, std::int64_t by, std::uint8_t* held,
                      const TLibMessages& messages) {
    const std::int64_t rows = std::min(page.BlockHeight, page.Height - by * page.BlockHeight);
    // A strip is decoded to its own rows, a tile always whole.
    const std::int64_t bytes = page.Tiled ? page.BlockBytes : rows * page.RowBytes;
    for (std::int64_t bx = 0; bx < page.BlocksAcross; ++bx)
        for (int plane = 0; plane < page.Planes(); ++plane) {
            const std::uint32_t n = BlockNumber(page, plane, bx, by);
            std::uint8_t* to = held + (bx * page.Planes() + plane) * page.BlockBytes;
            const tmsize_t got = page.Tiled ? TIFFReadEncodedTile(tif, n, to, bytes)
                                            : TIFFReadEncodedStrip(tif, n, to, bytes);
            if (messages.EndsEarly)
                return BrokenPictureData("strip or tile " + std::to_string(n) +
                                         " ends before its rows do");
            // A block cut short was refused before the decode (CheckBlocksInFile).
            if (got != bytes)
                return BrokenPictureData(messages.Errors.empty()
                                             ? "strip or tile " + std::to_string(n) + " is short"
                                             : messages.Errors);
        }
    return std::nullopt;
}

TError DecodeRows(TIFF* tif, const TPage& page, std::uint8_t* held, TLayoutAdapter& adapter,
                  const TLibMessages& messages) {
    // A palette's indices after the blocks.
    TRowReader read(page, held + page.BlocksAcross * page.Planes() * page.BlockBytes);
    TBands bands(adapter, page.Height);
    const int sampleBytes = page.Layout.Depth > 8 ? 2 : 1;
    const int samples = page.Palette[0] ? 3 : page.Kept;
    const std::int64_t pixelBytes = std::int64_t{samples} * sampleBytes;
    std::array<const std::uint8_t*, 4> planes{};
    for (std::int64_t by = 0; by < page.BlocksDown; ++by) {
        if (adapter.Cancelled())
            return DecodingCancelled();
        if (TError e = DecodeBlockRow(tif, page, by, held, messages))
            return e;
        const std::int64_t top = by * page.BlockHeight;
        const std::int64_t rows = std::min(page.BlockHeight, page.Height - top);
        for (std::int64_t r = 0; r < rows; ++r) {
            std::uint8_t* row = bands.Row(static_cast<int>(top + r));
            if (!row)
                return DecodingCancelled();
            for (std::int64_t bx = 0; bx < page.BlocksAcross; ++bx) {
                const std::int64_t left = bx * page.BlockWidth;
                for (int plane = 0; plane < page.Planes(); ++plane)
                    planes[static_cast<std::size_t>(plane)] =
                        held + (bx * page.Planes() + plane) * page.BlockBytes + r * page.RowBytes;
                read(planes.data(), std::min(page.BlockWidth, page.Width - left),
                     row + left * pixelBytes);
            }
        }
    }
    bands.Finish();
    return std::nullopt;
}

TOutcome<TDecodeNotes> Decode(TByteSource& in, TRowTarget& target) {
    // Messages reach only the handlers of each decode.
    [[maybe_unused]] static const bool silenced = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    if (TError e = CheckHeader(in))
        return *e;
    TLibMessages messages;
    const std::unique_ptr<TIFFOpenOptions, TOptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options)
        return NotEnoughMemory(0, 0);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &messages);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &messages);
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(std::min<std::int64_t>(
                           in.Size() + LibraryMargin, std::numeric_limits<tmsize_t>::max())));
    TClientFile file{in};
    // "m": no memory mapping, every read goes through the byte source.
    const TTiff tif(TIFFClientOpenExt("picture", "rm", &file, ReadProc, WriteProc, SeekProc,
                                      CloseProc, SizeProc, MapProc, UnmapProc, options.get()));
    if (!tif)
        return BrokenHeader(messages.Errors);
    TPage page;
    if (TError e = ReadPage(tif.get(), in, messages, page))
        return *e;

    // A row of blocks, and a palette picture's indices of a block's row.
    const std::int64_t heldBytes = Times(page.BlocksAcross * page.Planes(), page.BlockBytes) +
                                   (page.Palette[0] ? page.BlockWidth : 0);
    TLayoutAdapter adapter(target);
    adapter.DecoderHolds(heldBytes + page.LargestCompressed);
    if (!adapter.Start(page.Width, page.Height, page.Layout))
        return NotEnoughMemory(page.Width, page.Height);
    // 16-bit words, so that 16-bit samples are read as what they are; left uninitialised, so
    // that a block libtiff cannot fill costs no more than its address space.
    const std::unique_ptr<std::uint16_t[]> held(
        heldBytes < std::numeric_limits<std::int64_t>::max() / 4
            ? new (std::nothrow) std::uint16_t[static_cast<std::size_t>((heldBytes + 1) / 2)]
            : nullptr);
    if (!held)
        return NotEnoughMemory(page.Width, page.Height);
    if (TError e = DecodeRows(tif.get(), page, reinterpret_cast<std::uint8_t*>(held.get()), adapter,
                              messages))
        return *e;
    return TDecodeNotes{std::move(page.Meta)};
}

} // namespace

TOutcome<TDecodeNotes> StreamTiffBytes(TByteSource& in, TRowTarget& target) {
    return Decode(in, target);
}

TOutcome<TDecodeNotes> StreamTiffFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, Decode);
}

} // namespace tonalyx
