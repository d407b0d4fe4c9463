// PNG decoding with libpng, band by band into the rows a TRowTarget lends.
//
// Every colour type and depth: grey, grey and alpha, palette, RGB and RGBA at 1 to 16 bits.
// Samples are declared as stored (low depths a byte each, unscaled; 16 bits in the machine's
// order) and brought to 8 bits by the layout adapter; a palette gives its colours, and a
// tRNS chunk gives alpha. A non-interlaced picture is read straight into the bands; an
// interlaced one (Adam7) is held whole while its seven passes arrive, then written out.
//
// libpng reports fatal errors by longjmp to the setjmp in DecodePng. Everything that changes
// after it lives in a heap-allocated TPngSession, and the frames a longjmp can skip (DecodeBody
// and what it calls, the read callback) hold no object with a destructor while libpng runs.
//
// Bounds on hostile files: chunks other than the few read here are skipped unread (a huge
// text chunk costs no memory and no inflation), no chunk may take more than MaxChunkBytes,
// and the picture data is inflated only as far as the rows need.
#include "byte_source.h"
#include "decoder.h"
#include "layout_adapter.h"
#include "open_reasons.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <png.h>

namespace tonalyx {
namespace {

constexpr std::array<std::uint8_t, 8> PngSignature = {137, 'P', 'N', 'G', 13, 10, 26, 10};

// The most a chunk may hold, compressed or not: profiles are a few kilobytes, large lookup
// tables a few megabytes; the Exif block is smaller still.
constexpr png_alloc_size_t MaxChunkBytes = 64u << 20;
// Text, palettes and unknown chunks kept: none are read, so few are ever cached.
constexpr png_uint_32 MaxCachedChunks = 32;
// What zlib holds while inflating: its 32 KB window and its state.
constexpr std::int64_t InflateBytes = 48 << 10;

// The file read ahead in large blocks: libpng asks for a few bytes at a time.
struct TPngReader {
    TByteSource* Source = nullptr;
    std::int64_t Pos = 0; // of Buffer[0] in the file
    std::size_t Cur = 0, End = 0;
    bool EndedEarly = false;
    std::array<std::uint8_t, 64 * 1024> Buffer;
};

// Everything DecodeBody changes. Heap-allocated so its contents stay valid across longjmp.
struct TPngSession {
    explicit TPngSession(TRowTarget& target) : Target(target) {}
    ~TPngSession() { png_destroy_read_struct(&Png, &Info, nullptr); }

    png_structp Png = nullptr;
    png_infop Info = nullptr;
    TPngReader Reader;
    TLayoutAdapter Target;
    char Message[256] = {};
    bool DataStarted = false; // the header is read and accepted: errors are in the data
    bool OutOfMemory = false;
    png_uint_32 Width = 0, Height = 0;
    std::vector<std::uint8_t> Whole; // an interlaced picture, while its passes arrive
    std::vector<png_bytep> WholeRows;
    TFailure Failure; // set by DecodeBody for refusals that are not libpng errors
    TPictureMeta Meta;
};

TPngSession& SessionOf(png_structp png) {
    return *static_cast<TPngSession*>(png_get_error_ptr(png));
}

[[noreturn]] void ErrorExit(png_structp png, png_const_charp message) {
    TPngSession& s = SessionOf(png);
    std::snprintf(s.Message, sizeof s.Message, "%s", message ? message : "an error");
    png_longjmp(png, 1);
}

// Warnings are libpng's word for what it could read around: a damaged ancillary chunk is
// dropped. A profile dropped so is the one that matters to the display.
void Warning(png_structp png, png_const_charp message) {
    if (message && std::strncmp(message, "iCCP", 4) == 0)
        SessionOf(png).Meta.ProfileProblem = "the embedded colour profile is damaged";
}

void ReadData(png_structp png, png_bytep dst, png_size_t n) {
    TPngReader& r = static_cast<TPngSession*>(png_get_io_ptr(png))->Reader;
    while (n > 0) {
        if (r.Cur == r.End) {
            r.Pos += static_cast<std::int64_t>(r.End);
            r.Cur = r.End = 0;
            r.End = r.Source->ReadAt(r.Pos, r.Buffer.data(), r.Buffer.size());
            if (r.End == 0) {
                r.EndedEarly = true;
                png_error(png, "the file ends early");
            }
        }
        const std::size_t take = std::min(n, r.End - r.Cur);
        std::memcpy(dst, r.Buffer.data() + r.Cur, take);
        r.Cur += take;
        dst += take;
        n -= take;
    }
}

bool Cancelled(TPngSession& s) {
    if (!s.Target.Cancelled())
        return false;
    s.Failure = DecodingCancelled();
    return true;
}

// A chromaticity-and-gamma colour space, when the file gives both and they make sense: the
// primaries' XYZ from their chromaticities (libpng checks those), the decoding exponent the
// inverse of the stored gamma.
void ReadCalibration(png_structp png, png_infop info, TPictureMeta& meta) {
    double gamma = 0;
    // Decoding exponents from 0.8 to 5: linear values, and every display gamma in use.
    if (!png_get_gAMA(png, info, &gamma) || !(gamma >= 0.2 && gamma <= 1.25))
        return;
    // The gAMA and cHRM that many writers add to every file, sRGB's primaries and white with
    // its approximate exponent 1/2.2, stand for sRGB: shown as they are, not named "calibrated".
    double xy[8] = {};
    if (png_get_cHRM(png, info, &xy[0], &xy[1], &xy[2], &xy[3], &xy[4], &xy[5], &xy[6], &xy[7])) {
        constexpr double Srgb[8] = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
        bool srgb = std::abs(gamma - 1 / 2.2) < 0.002;
        for (int i = 0; i < 8; ++i)
            srgb = srgb && std::abs(xy[i] - Srgb[i]) < 0.002;
        if (srgb)
            return;
    }
    TCalibratedRgb space;
    auto& p = space.Primaries;
    if (!png_get_cHRM_XYZ(png, info, &p[0][0], &p[0][1], &p[0][2], &p[1][0], &p[1][1], &p[1][2],
                          &p[2][0], &p[2][1], &p[2][2]))
        return;
    for (const auto& xyz : p)
        if (!(xyz[1] > 0 && xyz[0] >= 0 && xyz[2] >= 0 && std::isfinite(xyz[0] + xyz[1] + xyz[2])))
            return;
    space.Gamma.fill(1 / gamma);
    meta.Calibrated = space;
}

// The orientation, the profile or the calibration, from the chunks before the picture data.
// An sRGB chunk says the values are sRGB already: nothing to convert.
void ReadMeta(TPngSession& s, int colourType) {
    png_structp png = s.Png;
    png_infop info = s.Info;
    const bool grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
    s.Meta.Model = grey ? TStoredModel::Grey : TStoredModel::Rgb;
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &exifSize, &exif) && exif && exifSize > 0) {
        s.Meta.Orientation = ExifPayloadOrientation(exif, exifSize);
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) && profile &&
        profileSize > 0) {
        s.Meta.IccProfile.assign(profile, profile + profileSize);
        s.Meta.ProfileProblem.clear();
        return;
    }
    if (png_get_valid(png, info, PNG_INFO_sRGB) || grey || !s.Meta.ProfileProblem.empty())
        return;
    ReadCalibration(png, info, s.Meta);
}

// The layout the transforms set below give, and the stored sample's bits and alpha.
TPixelLayout ChooseTransforms(TPngSession& s, int colourType, int depth) {
    png_structp png = s.Png;
    const bool trns = png_get_valid(png, s.Info, PNG_INFO_tRNS) != 0;
    s.Meta.StoredBits = colourType == PNG_COLOR_TYPE_PALETTE ? 8 : depth;
    s.Meta.StoredAlpha = trns || (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    if (depth < 8)
        png_set_packing(png); // a byte a sample, unscaled
    if (depth == 16 && std::endian::native == std::endian::little)
        png_set_swap(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (trns) // also brings low-depth grey to 8 bits, exactly (× 255, 85 or 17)
        png_set_tRNS_to_alpha(png);
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return trns ? TPixelLayout{TSamples::GreyAlpha, std::max(depth, 8)}
                    : TPixelLayout{TSamples::Grey, depth};
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return {TSamples::GreyAlpha, depth};
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return {TSamples::Rgba, depth};
    default: // RGB and palette
        if (trns)
            return {TSamples::Rgba, std::max(depth, 8)};
        if (depth == 16)
            return {TSamples::Rgb, 16};
        png_set_bgr(png); // the target's own layout: its rows are lent, nothing is copied
        return {TSamples::Bgr, 8};
    }
}

// Every band of the picture in turn, top to bottom, the target asked first: fill writes
// rows [first, first + count) into band. False when cancelled.
template <typename TFill> bool WriteBands(TPngSession& s, const TFill& fill) {
    const int height = static_cast<int>(s.Height);
    for (int first = 0; first < height; first += StreamBandRows) {
        if (Cancelled(s))
            return false;
        const int count = std::min(StreamBandRows, height - first);
        const TRowBand band = s.Target.Rows(first, count);
        fill(first, count, band);
        s.Target.Written(first, count);
    }
    return true;
}

// The rows of a non-interlaced picture, straight into the bands.
bool ReadRows(TPngSession& s) {
    std::array<png_bytep, StreamBandRows> rows;
    return WriteBands(s, [&](int, int count, const TRowBand& band) {
        for (int i = 0; i < count; ++i)
            rows[i] = band.Bits + i * band.Stride;
        png_read_rows(s.Png, rows.data(), nullptr, static_cast<png_uint_32>(count));
    });
}

// An interlaced picture: each pass adds its pixels to the rows held, then they go out.
bool ReadPasses(TPngSession& s, int passes, std::size_t rowBytes) {
    const int height = static_cast<int>(s.Height);
    for (int pass = 0; pass < passes; ++pass)
        for (int first = 0; first < height; first += StreamBandRows) {
            if (Cancelled(s))
                return false;
            const int count = std::min(StreamBandRows, height - first);
            png_read_rows(s.Png, s.WholeRows.data() + first, nullptr,
                          static_cast<png_uint_32>(count));
        }
    return WriteBands(s, [&](int first, int count, const TRowBand& band) {
        for (int i = 0; i < count; ++i)
            std::memcpy(band.Bits + i * band.Stride, s.WholeRows[first + i], rowBytes);
    });
}

// Room for the interlaced picture; false (out of memory) when there is none.
bool HoldWhole(TPngSession& s, std::size_t rowBytes) {
    try {
        s.Whole.resize(rowBytes * s.Height);
        s.WholeRows.resize(s.Height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (png_uint_32 y = 0; y < s.Height; ++y)
        s.WholeRows[y] = s.Whole.data() + rowBytes * y;
    return true;
}

// All libpng calls after the reader is set. Returns false with s.Failure set for a refusal.
// No local here may have a destructor: png_error longjmps across this frame.
bool DecodeBody(TPngSession& s) {
    png_structp png = s.Png;
    png_infop info = s.Info;
    png_read_info(png, info);
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &s.Width, &s.Height, &depth, &colourType, &interlace, nullptr, nullptr);
    if (std::int64_t{s.Width} * s.Height > MaxDecodePixels) {
        s.Failure = PictureTooLarge(s.Width, s.Height);
        return false;
    }
    ReadMeta(s, colourType);
    const TPixelLayout layout = ChooseTransforms(s, colourType, depth);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);

    // libpng's own rows (the current and the previous), the reader's buffer and zlib's; an
    // interlaced picture whole beside them.
    std::int64_t holds = 2 * static_cast<std::int64_t>(rowBytes + 64) +
                         static_cast<std::int64_t>(sizeof(TPngReader)) + InflateBytes;
    if (passes > 1)
        holds += static_cast<std::int64_t>(rowBytes) * s.Height +
                 static_cast<std::int64_t>(sizeof(png_bytep)) * s.Height;
    s.Target.DecoderHolds(holds);
    if (!s.Target.Start(static_cast<int>(s.Width), static_cast<int>(s.Height), layout)) {
        s.Failure = NotEnoughMemory(s.Width, s.Height);
        return false;
    }
    s.DataStarted = true;
    if (passes == 1)
        return ReadRows(s);
    if (!HoldWhole(s, rowBytes)) {
        s.Failure = NotEnoughMemory(s.Width, s.Height);
        return false;
    }
    return ReadPasses(s, passes, rowBytes);
}

// libpng's fatal error in plain words; its own message is the detail.
TFailure LibpngFailure(const TPngSession& s) {
    std::string detail = std::string("libpng: ") + (s.Message[0] ? s.Message : "an error");
    if (s.Reader.EndedEarly || std::strstr(s.Message, "Not enough image data"))
        return FileEndsEarly(std::move(detail));
    if (std::strstr(s.Message, "memory"))
        return NotEnoughMemory(s.Width, s.Height);
    return s.DataStarted ? BrokenPictureData(std::move(detail)) : BrokenHeader(std::move(detail));
}

// The chunks the picture needs; every other is skipped unread (IHDR, PLTE, tRNS, IDAT and
// IEND are always read).
void ReadOnlyWhatIsShown(png_structp png) {
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static constexpr png_byte Shown[] = "iCCP\0sRGB\0gAMA\0cHRM\0eXIf";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, Shown, 5);
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX); // MaxDecodePixels decides
    png_set_chunk_malloc_max(png, MaxChunkBytes);
    png_set_chunk_cache_max(png, MaxCachedChunks);
}

TOutcome<TDecodeNotes> DecodePng(TByteSource& in, TRowTarget& target) {
    std::array<std::uint8_t, PngSignature.size()> head{};
    const std::size_t got = in.ReadAt(0, head.data(), head.size());
    if (got == 0)
        return EmptyFile();
    if (std::memcmp(head.data(), PngSignature.data(), got) != 0)
        return NotPictureOf("PNG", "no PNG signature");
    if (got < head.size())
        return FileEndsEarly("the signature is cut short");

    auto s = std::make_unique<TPngSession>(target);
    s->Reader.Source = &in;
    s->Reader.Pos = static_cast<std::int64_t>(head.size());
    s->Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s.get(), ErrorExit, Warning);
    if (s->Png)
        s->Info = png_create_info_struct(s->Png);
    if (!s->Png || !s->Info)
        return NotEnoughMemory(0, 0);
    if (setjmp(png_jmpbuf(s->Png)))
        return LibpngFailure(*s);
    png_set_read_fn(s->Png, s.get(), ReadData);
    png_set_sig_bytes(s->Png, static_cast<int>(head.size()));
    ReadOnlyWhatIsShown(s->Png);
    if (!DecodeBody(*s))
        return s->Failure;
    // What follows the picture data is never read: nothing there changes the picture.
    return TDecodeNotes{std::move(s->Meta)};
}

} // namespace

TOutcome<TDecodeNotes> StreamPngBytes(TByteSource& in, TRowTarget& target) {
    return DecodePng(in, target);
}

TOutcome<TDecodeNotes> StreamPngFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, StreamPngBytes);
}

} // namespace tonalyx
