// Windows and OS/2 BMP decoding into a TRaster, or band by band into a TRowTarget.
//
// Our own reader rather than Qt's: Qt's reader scales 16-bit and odd bit-field samples by
// shifting (white 5-bit samples come out as 248, not 255), and its allocation limit is a
// process-wide setting. This one writes straight into the rows its target lends and checks
// the header against MaxDecodePixels before any pixel memory exists.
//
// Supported: 1/2/4/8-bit palettes, RLE4, RLE8, OS/2 RLE24, 16/32-bit with or without bit
// fields (any masks, scaled to the full 0..255 range), 24-bit, top-down rows, the OS/2 1.x
// (12-byte) and 2.x (16..64-byte) headers and the Windows 40/52/56/108/124-byte headers.
// Alpha is ignored. Refused: embedded JPEG/PNG, OS/2 Huffman, 64-bit, unknown headers.
//
// The colour space of the V4 and V5 headers: a calibrated RGB space and an embedded profile
// are kept for the display (see TPictureMeta); a linked profile, a path to a file, is never
// followed.
//
// Leniency: palette indices beyond the palette and pixels an RLE stream leaves out (delta
// and early end codes, or a stream that just stops) are black. Uncompressed pixel data
// that ends early is refused, since the missing part would count as fake black pixels.
#include "byte_source.h"
#include "decoder.h"
#include "input_file.h"
#include "layout_adapter.h"
#include "open_reasons.h"
#include "whole_raster.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tonalyx {
namespace {

constexpr int FileHeaderSize = 14;
constexpr int MaxInfoHeaderSize = 124; // BITMAPV5HEADER

// Byte-at-a-time reading of a compressed stream, in 64 KB chunks.
class TByteStream {
  public:
    TByteStream(TByteSource& input, std::int64_t pos) : Input(input), Pos(pos) {}
    // The next byte, or -1 at the end of the input.
    int Next() {
        if (Cur == End) {
            const std::size_t got = Input.ReadAt(Pos, Buffer.data(), Buffer.size());
            if (got == 0)
                return -1;
            Pos += static_cast<std::int64_t>(got);
            Cur = 0;
            End = got;
        }
        return Buffer[Cur++];
    }

  private:
    TByteSource& Input;
    std::int64_t Pos;
    std::array<std::uint8_t, 65536> Buffer;
    std::size_t Cur = 0;
    std::size_t End = 0;
};

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

enum class TCoding { Plain, BitFields, Rle8, Rle4, Rle24 };

struct THeader {
    std::int64_t PixelOffset = 0;
    int Width = 0;
    int Height = 0; // rows, always positive
    bool TopDown = false;
    int Bits = 0;
    TCoding Coding = TCoding::Plain;
    std::array<std::uint32_t, 3> Masks{}; // red, green, blue; for BitFields
    std::int64_t PaletteOffset = 0;
    int PaletteEntrySize = 4; // RGBQUAD, or RGBTRIPLE in OS/2 1.x files
    int PaletteCount = 0;     // entries to read (at most 1 << Bits)
    TPictureMeta Meta;
};

// A failure, or nothing.
using TError = std::optional<TFailure>;

// The V4 and V5 headers' colour space types.
constexpr std::uint32_t CalibratedRgbSpace = 0;
constexpr std::uint32_t EmbeddedProfileSpace = 0x4D424544; // "MBED"

// Profiles are a few kilobytes, large lookup tables a few megabytes; a header claiming more
// is not believed.
constexpr std::uint32_t MaxProfileBytes = 64u << 20;

// The colour space of a V4 or V5 header (info, infoSize bytes). sRGB, the system's space and
// linked profiles leave the stored values as they are.
void ReadColourSpace(TByteSource& in, const std::uint8_t* info, std::uint32_t infoSize,
                     TPictureMeta& meta) {
    const std::uint32_t type = U32(info + 56);
    if (type == CalibratedRgbSpace) {
        // Nine CIE XYZ values in 2.30 fixed point, then three gammas in 16.16. Writers
        // that know nothing of colour leave them zero: no calibration then.
        TCalibratedRgb space;
        bool valid = true;
        for (int p = 0; p < 3; ++p) {
            for (int c = 0; c < 3; ++c) {
                const auto v = static_cast<std::int32_t>(U32(info + 60 + 12 * p + 4 * c));
                space.Primaries[p][c] = v / double(1 << 30);
            }
            space.Gamma[p] = U32(info + 96 + 4 * p) / 65536.0;
            valid = valid && space.Primaries[p][1] > 0 && space.Primaries[p][0] >= 0 &&
                    space.Primaries[p][2] >= 0 && space.Gamma[p] > 0;
        }
        if (valid)
            meta.Calibrated = space;
        return;
    }
    if (type != EmbeddedProfileSpace || infoSize < 124)
        return;
    const std::uint32_t offset = U32(info + 112);
    const std::uint32_t size = U32(info + 116);
    const std::int64_t at = FileHeaderSize + std::int64_t{offset};
    if (size == 0 || size > MaxProfileBytes || at + size > in.Size()) {
        meta.ProfileProblem = "the embedded colour profile is empty, too large or outside the file";
        return;
    }
    meta.IccProfile.resize(size);
    if (!in.ReadAllAt(at, meta.IccProfile.data(), size)) {
        meta.IccProfile.clear();
        meta.ProfileProblem = "the embedded colour profile cannot be read";
    }
}

TError ParseHeader(TByteSource& in, THeader& h) {
    std::array<std::uint8_t, FileHeaderSize + MaxInfoHeaderSize + 16> buf{};
    const std::size_t got = in.ReadAt(0, buf.data(), buf.size());
    if (got == 0)
        return EmptyFile();
    if (got < FileHeaderSize + 4 || buf[0] != 'B' || buf[1] != 'M')
        return NotBmpPicture("no BM signature");
    const std::uint8_t* info = buf.data() + FileHeaderSize;
    const std::uint32_t infoSize = U32(info);
    const bool os2v1 = infoSize == 12;
    const bool windows =
        infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124;
    const bool os2v2 = !windows && infoSize >= 16 && infoSize <= 64;
    if (!os2v1 && !windows && !os2v2)
        return BrokenHeader("an information header of " + std::to_string(infoSize) + " bytes");
    if (got < FileHeaderSize + infoSize)
        return FileEndsEarly("the header is cut short");

    // Fields a short header lacks read as zero.
    std::memset(buf.data() + FileHeaderSize + infoSize, 0, buf.size() - FileHeaderSize - infoSize);

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    if (os2v1) {
        width = U16(info + 4);
        height = U16(info + 6);
        h.Bits = U16(info + 10);
        h.PaletteEntrySize = 3;
    } else {
        // Windows and OS/2 2.x headers share the layout of their first 40 bytes.
        width = static_cast<std::int32_t>(U32(info + 4));
        height = static_cast<std::int32_t>(U32(info + 8));
        h.Bits = U16(info + 14);
        compression = U32(info + 16);
        coloursUsed = U32(info + 32);
    }
    if (width <= 0 || height == 0)
        return BrokenHeader("a size of " + std::to_string(width) + " × " + std::to_string(height));
    h.TopDown = height < 0;
    height = height < 0 ? -height : height;
    if (width * height > MaxDecodePixels)
        return PictureTooLarge(width, height);
    h.Width = static_cast<int>(width);
    h.Height = static_cast<int>(height);

    std::int64_t afterHeader = FileHeaderSize + infoSize;
    switch (compression) {
    case 0:
        h.Coding = TCoding::Plain;
        break;
    case 1:
        h.Coding = TCoding::Rle8;
        break;
    case 2:
        h.Coding = TCoding::Rle4;
        break;
    case 3:
        if (os2v2)
            return UnsupportedKind("BMP", "OS/2 Huffman compression");
        h.Coding = TCoding::BitFields;
        break;
    case 4:
        if (!os2v2)
            return UnsupportedKind("BMP", "embedded JPEG data");
        h.Coding = TCoding::Rle24;
        break;
    case 6: // BI_ALPHABITFIELDS: the alpha mask is ignored
        if (os2v2)
            return UnsupportedKind("BMP", "compression 6 in an OS/2 header");
        h.Coding = TCoding::BitFields;
        break;
    case 5:
        return UnsupportedKind("BMP", "embedded PNG data");
    default:
        return UnsupportedKind("BMP", "compression " + std::to_string(compression));
    }
    if (h.Coding == TCoding::BitFields) {
        // The masks follow a 40-byte header; the later headers hold them.
        std::array<std::uint8_t, 12> masks{};
        if (infoSize == 40) {
            if (!in.ReadAllAt(afterHeader, masks.data(), masks.size()))
                return FileEndsEarly("the colour masks are cut short");
            afterHeader += compression == 6 ? 16 : 12;
        } else {
            std::memcpy(masks.data(), info + 40, masks.size());
        }
        for (int c = 0; c < 3; ++c)
            h.Masks[c] = U32(masks.data() + 4 * c);
    }

    const int bits = h.Bits;
    const bool bitsOk =
        bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!bitsOk)
        return UnsupportedKind("BMP", std::to_string(bits) + " bits per pixel");
    if ((h.Coding == TCoding::Rle8 && bits != 8) || (h.Coding == TCoding::Rle4 && bits != 4) ||
        (h.Coding == TCoding::Rle24 && bits != 24) ||
        (h.Coding == TCoding::BitFields && bits != 16 && bits != 32))
        return BrokenHeader("compression " + std::to_string(compression) + " with " +
                            std::to_string(bits) + " bits per pixel");
    if (h.Coding == TCoding::Plain && (bits == 16 || bits == 32)) {
        h.Coding = TCoding::BitFields;
        h.Masks = bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                             : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    }

    h.PaletteOffset = afterHeader;
    const std::uint32_t bfOffBits = U32(buf.data() + 10);
    if (bits <= 8) {
        const int full = 1 << bits;
        h.PaletteCount = coloursUsed == 0 || coloursUsed > static_cast<std::uint32_t>(full)
                             ? full
                             : static_cast<int>(coloursUsed);
        // A palette shorter than announced (or none) ends where the pixels start.
        if (bfOffBits >= h.PaletteOffset)
            h.PaletteCount = static_cast<int>(std::min<std::int64_t>(
                h.PaletteCount, (bfOffBits - h.PaletteOffset) / h.PaletteEntrySize));
    }
    h.PixelOffset = bfOffBits != 0
                        ? bfOffBits
                        : h.PaletteOffset + std::int64_t{h.PaletteCount} * h.PaletteEntrySize;
    if (h.PixelOffset >= in.Size())
        return FileEndsEarly("no pixel data");
    if (windows && infoSize >= 108)
        ReadColourSpace(in, info, infoSize, h.Meta);
    return std::nullopt;
}

// Palette entries as blue, green, red; entries the file lacks stay black.
using TPalette = std::array<std::array<std::uint8_t, 3>, 256>;

TPalette ReadPalette(TByteSource& in, const THeader& h) {
    TPalette palette{};
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(h.PaletteCount) * h.PaletteEntrySize);
    const std::size_t got = in.ReadAt(h.PaletteOffset, raw.data(), raw.size());
    const std::size_t entries = got / static_cast<std::size_t>(h.PaletteEntrySize);
    for (std::size_t i = 0; i < entries; ++i)
        std::memcpy(palette[i].data(), raw.data() + i * h.PaletteEntrySize, 3);
    return palette;
}

// One colour channel of a bit-field pixel, scaled from its mask's range to 0..255.
class TChannel {
  public:
    explicit TChannel(std::uint32_t mask) : Mask(mask) {
        if (mask == 0) { // a channel the file leaves out reads as 0
            Lut.assign(1, 0);
            return;
        }
        Shift = std::countr_zero(mask);
        const std::uint32_t max = mask >> Shift;
        // Samples wider than 16 bits are cut to 16 first; only 8 survive anyway.
        PreShift = std::max(0, static_cast<int>(std::bit_width(max)) - 16);
        const std::uint32_t top = max >> PreShift;
        Lut.resize(top + 1);
        for (std::uint32_t v = 0; v <= top; ++v)
            Lut[v] = static_cast<std::uint8_t>((std::uint64_t{v} * 255 + top / 2) / top);
    }
    std::uint8_t operator()(std::uint32_t pixel) const {
        return Lut[((pixel & Mask) >> Shift) >> PreShift];
    }

  private:
    std::uint32_t Mask;
    int Shift = 0;
    int PreShift = 0;
    std::vector<std::uint8_t> Lut;
};

// Turns one stored row into blue, green, red bytes.
class TRowConverter {
  public:
    TRowConverter(const THeader& h, const TPalette& palette)
        : Bits(h.Bits), Width(h.Width), Palette(palette), Red(h.Masks[0]), Green(h.Masks[1]),
          Blue(h.Masks[2]) {
        Bgrx = Bits == 32 && h.Masks == std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    }

    void operator()(const std::uint8_t* src, std::uint8_t* dst) const {
        switch (Bits) {
        case 24:
            std::memcpy(dst, src, static_cast<std::size_t>(Width) * 3);
            break;
        case 32:
            if (Bgrx) {
                for (int x = 0; x < Width; ++x, src += 4, dst += 3) {
                    dst[0] = src[0];
                    dst[1] = src[1];
                    dst[2] = src[2];
                }
            } else {
                for (int x = 0; x < Width; ++x, src += 4, dst += 3)
                    Put(U32(src), dst);
            }
            break;
        case 16:
            for (int x = 0; x < Width; ++x, src += 2, dst += 3)
                Put(U16(src), dst);
            break;
        case 8:
            for (int x = 0; x < Width; ++x, dst += 3)
                std::memcpy(dst, Palette[src[x]].data(), 3);
            break;
        default: { // 1, 2 or 4 bits, most significant first
            const unsigned mask = (1u << Bits) - 1;
            for (int x = 0; x < Width; ++x, dst += 3) {
                const std::int64_t bit = std::int64_t{x} * Bits;
                const int shift = 8 - Bits - static_cast<int>(bit & 7);
                const unsigned index = (src[bit >> 3] >> shift) & mask;
                std::memcpy(dst, Palette[index].data(), 3);
            }
        }
        }
    }

  private:
    void Put(std::uint32_t pixel, std::uint8_t* dst) const {
        dst[0] = Blue(pixel);
        dst[1] = Green(pixel);
        dst[2] = Red(pixel);
    }

    int Bits;
    int Width;
    const TPalette& Palette;
    TChannel Red, Green, Blue;
    bool Bgrx = false;
};

// Where stored row r (0 = first in the file) goes in the picture: a band the target lends,
// asked for in the file's order, StreamBandRows stored rows at a time. Both decoders go
// through the file front to back, so r never goes down; rows they never reach are black.
class TRowPlace {
  public:
    TRowPlace(TLayoutAdapter& target, int width, int height, bool topDown, bool blank)
        : Target(target), Width(width), Height(height), TopDown(topDown), Blank(blank) {}

    std::uint8_t* Row(std::int64_t r) {
        if (r - First >= Count)
            MoveTo(r);
        const std::int64_t i = TopDown ? r - First : First + Count - 1 - r;
        return Band.Bits + i * Band.Stride;
    }

    // Writes out the band in hand and black bands for the rows never reached.
    void Finish() { MoveTo(Height); }
    bool Cancelled() const { return Target.Cancelled(); }

  private:
    // Writes out the band in hand and any bands before stored row r, claims r's.
    void MoveTo(std::int64_t r) {
        if (Count > 0)
            Target.Written(PictureRow(), static_cast<int>(Count));
        for (std::int64_t first = First + Count; first < Height; first += StreamBandRows) {
            First = first;
            Count = std::min<std::int64_t>(StreamBandRows, Height - first);
            Band = Target.Rows(PictureRow(), static_cast<int>(Count));
            if (Blank)
                for (std::int64_t i = 0; i < Count; ++i)
                    std::memset(Band.Bits + i * Band.Stride, 0,
                                static_cast<std::size_t>(Width) * 3);
            if (r < First + Count)
                return;
            Target.Written(PictureRow(), static_cast<int>(Count));
        }
        Count = 0;
        First = Height;
    }
    // The picture's row at the top of the band.
    int PictureRow() const { return static_cast<int>(TopDown ? First : Height - First - Count); }

    TLayoutAdapter& Target;
    int Width, Height;
    bool TopDown;
    bool Blank;                        // bands start black, for decoders that may leave pixels out
    std::int64_t First = 0, Count = 0; // the stored rows of the band in hand
    TRowBand Band;
};

// The bytes of each stored row of uncompressed pixels (padded to 4), and of the last row's
// pixels alone: its padding need not be in the file.
std::int64_t PlainStride(const THeader& h) {
    return (std::int64_t{h.Width} * h.Bits + 31) / 32 * 4;
}
std::int64_t PlainLastRow(const THeader& h) {
    return (std::int64_t{h.Width} * h.Bits + 7) / 8;
}

// Uncompressed rows take the same bytes in the file as they declare, so a file too short to
// hold them is refused from its header, before the picture is allocated. Run-length coded
// pixels may be far fewer than their rows: only their decode tells.
TError PixelDataCutShort(TByteSource& in, const THeader& h) {
    if (h.Coding != TCoding::Plain && h.Coding != TCoding::BitFields)
        return std::nullopt;
    if (h.PixelOffset + PlainStride(h) * (h.Height - 1) + PlainLastRow(h) > in.Size())
        return FileEndsEarly("the pixel data is cut short");
    return std::nullopt;
}

TError DecodePlain(TByteSource& in, const THeader& h, const TPalette& palette, TRowPlace& out) {
    const std::int64_t stride = PlainStride(h), lastRow = PlainLastRow(h);
    const TRowConverter convert(h, palette);
    std::vector<std::uint8_t> row;
    if (h.Bits != 24)
        row.resize(static_cast<std::size_t>(stride));
    for (int r = 0; r < h.Height; ++r) {
        if (r % StreamBandRows == 0 && out.Cancelled())
            return DecodingCancelled();
        const std::int64_t pos = h.PixelOffset + stride * r;
        std::uint8_t* dst = out.Row(r);
        // 24-bit rows are already blue, green, red: read them in place.
        const bool ok = h.Bits == 24 ? in.ReadAllAt(pos, dst, static_cast<std::size_t>(lastRow))
                                     : in.ReadAt(pos, row.data(), row.size()) >=
                                           static_cast<std::size_t>(lastRow);
        if (!ok)
            return FileNotOpened(EIO);
        if (h.Bits != 24)
            convert(row.data(), dst);
    }
    return std::nullopt;
}

// RLE4, RLE8 and OS/2 RLE24. Pixels outside the picture are dropped; the stream's length
// bounds the work, whatever it claims. False when cancelled.
bool DecodeRle(TByteSource& in, const THeader& h, const TPalette& palette, TRowPlace& out) {
    TByteStream s(in, h.PixelOffset);
    std::int64_t x = 0;
    std::int64_t r = 0;
    std::array<std::uint8_t, 3> colour{};
    auto put = [&](const std::uint8_t* bgr) {
        if (x < h.Width)
            std::memcpy(out.Row(r) + 3 * x, bgr, 3);
        ++x;
    };
    auto nextPixel = [&](std::uint8_t* bgr) { // RLE24: one stored pixel
        for (int i = 0; i < 3; ++i) {
            const int b = s.Next();
            if (b < 0)
                return false;
            bgr[i] = static_cast<std::uint8_t>(b);
        }
        return true;
    };
    while (r < h.Height) {
        if (out.Cancelled())
            return false;
        const int count = s.Next();
        if (count < 0)
            break;
        if (count > 0) { // a run of `count` pixels
            if (h.Coding == TCoding::Rle24) {
                if (!nextPixel(colour.data()))
                    break;
                for (int i = 0; i < count && x < h.Width; ++i)
                    put(colour.data());
            } else {
                const int value = s.Next();
                if (value < 0)
                    break;
                for (int i = 0; i < count && x < h.Width; ++i) {
                    const int index =
                        h.Coding == TCoding::Rle8 ? value : (i & 1 ? value & 15 : value >> 4);
                    put(palette[index].data());
                }
            }
            continue; // a run past the row's end is cut off
        }
        const int code = s.Next();
        if (code < 0 || code == 1) // end of data, or end of bitmap
            break;
        if (code == 0) { // end of line
            x = 0;
            ++r;
        } else if (code == 2) { // delta: skip right and up
            const int dx = s.Next();
            const int dy = s.Next();
            if (dy < 0)
                break;
            x += dx;
            r += dy;
        } else { // `code` literal pixels, padded to a 16-bit boundary
            std::int64_t bytes = 0;
            if (h.Coding == TCoding::Rle24) {
                for (int i = 0; i < code; ++i) {
                    if (!nextPixel(colour.data()))
                        return true;
                    put(colour.data());
                }
                bytes = 3 * code;
            } else if (h.Coding == TCoding::Rle8) {
                for (int i = 0; i < code; ++i) {
                    const int value = s.Next();
                    if (value < 0)
                        return true;
                    put(palette[value].data());
                }
                bytes = code;
            } else {
                int value = 0;
                for (int i = 0; i < code; ++i) {
                    if ((i & 1) == 0 && (value = s.Next()) < 0)
                        return true;
                    put(palette[i & 1 ? value & 15 : value >> 4].data());
                }
                bytes = (code + 1) / 2;
            }
            if (bytes & 1)
                s.Next();
        }
    }
    return true;
}

TOutcome<TDecodeNotes> Decode(TByteSource& in, TRowTarget& target) {
    THeader h;
    if (TError e = ParseHeader(in, h))
        return *e;
    if (TError e = PixelDataCutShort(in, h))
        return *e;
    const TPalette palette = h.Bits <= 8 ? ReadPalette(in, h) : TPalette{};
    TLayoutAdapter adapter(target); // 8-bit BGR, the target's own rows
    if (!adapter.Start(h.Width, h.Height, TPixelLayout{}))
        return NotEnoughMemory(h.Width, h.Height);
    const bool rle =
        h.Coding == TCoding::Rle4 || h.Coding == TCoding::Rle8 || h.Coding == TCoding::Rle24;
    TRowPlace rows(adapter, h.Width, h.Height, h.TopDown, rle);
    if (rle) {
        if (!DecodeRle(in, h, palette, rows))
            return DecodingCancelled();
    } else if (TError e = DecodePlain(in, h, palette, rows)) {
        return *e;
    }
    rows.Finish();
    return TDecodeNotes{std::move(h.Meta)};
}

TDecodeResult DecodeRaster(TByteSource& in) {
    TWholeRaster target;
    return target.Finish(Decode(in, target));
}

} // namespace

TDecodeResult DecodeBmpFile(const std::filesystem::path& path, std::stop_token cancel) {
    TWholeRaster target({}, std::move(cancel));
    return target.Finish(StreamBmpFile(path, target));
}

TDecodeResult DecodeBmpMemory(const std::uint8_t* data, std::size_t size) {
    TMemoryBytes input(data, size);
    return DecodeRaster(input);
}

TOutcome<TDecodeNotes> StreamBmpFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, Decode);
}

} // namespace tonalyx
