// WebP decoding with libwebp, band by band into the rows a TRowTarget lends.
//
// libwebp decodes a whole picture into one buffer and hands no rows over on the way, so the
// decoder holds the file and the decoded picture while it decodes; its incremental decoder
// says how many rows are final, and those are written out, a band at a time, while the rest
// decode. A still picture decodes as RGB (lossy without alpha: the target's own blue, green,
// red) or RGBA; an animation shows its first frame as composed on its canvas, RGBA.
// The colour profile and the Exif orientation come from the file's ICCP and EXIF chunks.
#include "byte_source.h"
#include "decoder.h"
#include "layout_adapter.h"
#include "open_reasons.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

namespace tonalyx {
namespace {

// Bytes of the file handed to the lossy decoder at a time: between two, the rows it has
// finished go out and a cancel is seen.
constexpr std::size_t FeedBytes = 32 << 10;
// The first bytes of a file, enough for the header and the extended header's canvas.
constexpr std::size_t HeaderBytes = 64;

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct TIDecoderFree {
    void operator()(WebPIDecoder* d) const { WebPIDelete(d); }
};
struct TAnimDecoderFree {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};
struct TDemuxFree {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

// libwebp's status in plain words; inHeader: met while reading the headers.
TFailure StatusFailure(VP8StatusCode status, int width, int height, bool inHeader = false) {
    const std::string detail = "libwebp: status " + std::to_string(static_cast<int>(status));
    switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
    case VP8_STATUS_SUSPENDED:
        return FileEndsEarly(detail);
    case VP8_STATUS_OUT_OF_MEMORY:
        return NotEnoughMemory(width, height);
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return UnsupportedKind("WebP", detail);
    case VP8_STATUS_INVALID_PARAM:
        return BrokenHeader(detail);
    default:
        return inHeader ? BrokenHeader(detail) : BrokenPictureData(detail);
    }
}

// What the header says, before anything is allocated.
struct TWebpHeader {
    WebPBitstreamFeatures Features{};
    std::size_t FileBytes = 0; // what the file's RIFF header says it holds, at most its size
    bool CutShort = false;     // the file is shorter than that
};

TOutcome<TWebpHeader> ReadHeader(TByteSource& in) {
    std::array<std::uint8_t, HeaderBytes> head{};
    const std::size_t got = in.ReadAt(0, head.data(), head.size());
    if (got == 0)
        return EmptyFile();
    static constexpr char Riff[] = "RIFF", Webp[] = "WEBP";
    const bool riff = std::memcmp(head.data(), Riff, std::min<std::size_t>(got, 4)) == 0;
    if (!riff || (got >= 12 && std::memcmp(head.data() + 8, Webp, 4) != 0))
        return NotPictureOf("WebP", "no RIFF WEBP signature");
    if (got < 12)
        return FileEndsEarly("the header is cut short");
    TWebpHeader h;
    const std::int64_t declared = std::int64_t{Le32(head.data() + 4)} + 8;
    h.CutShort = declared > in.Size();
    h.FileBytes = static_cast<std::size_t>(std::min(declared, in.Size()));
    const VP8StatusCode status = WebPGetFeatures(head.data(), got, &h.Features);
    if (status != VP8_STATUS_OK)
        return status == VP8_STATUS_NOT_ENOUGH_DATA && got < head.size()
                   ? FileEndsEarly("the header is cut short")
                   : StatusFailure(status, 0, 0, true);
    const int w = h.Features.width, hgt = h.Features.height;
    if (w <= 0 || hgt <= 0)
        return BrokenHeader("a size of " + std::to_string(w) + " × " + std::to_string(hgt));
    if (std::int64_t{w} * hgt > MaxDecodePixels)
        return PictureTooLarge(w, hgt);
    return h;
}

// What libwebp holds beside the decoded picture: a lossless picture (and one whose kind the
// header leaves open) is decoded into 32-bit pixels of its own first; lossy alpha into a
// plane of its own and, when compressed, a second one; lossy colour only a few rows of blocks.
std::int64_t LibraryHolds(const TWebpHeader& h) {
    const std::int64_t pixels = std::int64_t{h.Features.width} * h.Features.height;
    const std::int64_t blockRows = 64 * (std::int64_t{h.Features.width} + 64);
    if (h.Features.format != 1)
        return 4 * pixels + blockRows;
    return (h.Features.has_alpha ? 2 * pixels : 0) + blockRows;
}

// The file's first FileBytes, read once the target has admitted the picture.
bool ReadFile(TByteSource& in, const TWebpHeader& h, std::vector<std::uint8_t>& file) {
    try {
        file.resize(h.FileBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return in.ReadAllAt(0, file.data(), file.size());
}

// The profile and the orientation from the ICCP and EXIF chunks.
void ReadMeta(const WebPDemuxer* demux, TPictureMeta& meta) {
    if (!demux)
        return;
    const std::uint32_t flags = WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS);
    WebPChunkIterator chunk;
    if ((flags & ICCP_FLAG) && WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) {
        meta.IccProfile.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    if ((flags & EXIF_FLAG) && WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) {
        meta.Orientation = ExifPayloadOrientation(chunk.chunk.bytes, chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
}

// Writes rows [written, upTo) of a decoded picture out, in bands; false when cancelled.
bool WriteRows(TLayoutAdapter& adapter, const std::uint8_t* pixels, std::ptrdiff_t stride,
               std::size_t rowBytes, int& written, int upTo) {
    while (written < upTo) {
        if (adapter.Cancelled())
            return false;
        const int count = std::min(StreamBandRows, upTo - written);
        const TRowBand band = adapter.Rows(written, count);
        for (int i = 0; i < count; ++i)
            std::memcpy(band.Bits + i * band.Stride, pixels + (written + i) * stride, rowBytes);
        adapter.Written(written, count);
        written += count;
    }
    return true;
}

TOutcome<TDecodeNotes> DecodeStill(TByteSource& in, const TWebpHeader& h, TRowTarget& target) {
    const int width = h.Features.width, height = h.Features.height;
    const bool alpha = h.Features.has_alpha != 0;
    const int channels = alpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    const std::size_t pictureBytes = rowBytes * static_cast<std::size_t>(height);
    TLayoutAdapter adapter(target);
    adapter.DecoderHolds(static_cast<std::int64_t>(h.FileBytes + pictureBytes) + LibraryHolds(h));
    const TPixelLayout layout{alpha ? TSamples::Rgba : TSamples::Bgr, 8};
    if (!adapter.Start(width, height, layout))
        return NotEnoughMemory(width, height);

    std::vector<std::uint8_t> file;
    if (!ReadFile(in, h, file))
        return NotEnoughMemory(width, height);
    // The picture's own header, past what the first bytes held, before its pixels are had:
    // an extended header may announce a canvas the picture does not fill.
    WebPBitstreamFeatures whole;
    const VP8StatusCode headers = WebPGetFeatures(file.data(), file.size(), &whole);
    if (headers != VP8_STATUS_OK)
        return StatusFailure(h.CutShort ? VP8_STATUS_NOT_ENOUGH_DATA : headers, width, height,
                             true);
    if (whole.width != width || whole.height != height)
        return BrokenHeader("a canvas of " + std::to_string(width) + " × " +
                            std::to_string(height) + " for a picture of " +
                            std::to_string(whole.width) + " × " + std::to_string(whole.height));
    // Left unfilled: libwebp writes every pixel, and untouched pages cost nothing meanwhile.
    const std::unique_ptr<std::uint8_t[]> picture(new (std::nothrow) std::uint8_t[pictureBytes]);
    if (!picture)
        return NotEnoughMemory(width, height);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return UnsupportedKind("WebP", "libwebp's version does not match");
    config.output.colorspace = alpha ? MODE_RGBA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.get();
    config.output.u.RGBA.stride = static_cast<int>(rowBytes);
    config.output.u.RGBA.size = pictureBytes;
    const std::unique_ptr<WebPIDecoder, TIDecoderFree> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder)
        return NotEnoughMemory(width, height);

    // A lossless picture is decoded in one go: fed in parts, libwebp would keep going back
    // to where each part began.
    const std::size_t step = whole.format == 1 ? FeedBytes : file.size();
    std::size_t fed = 0;
    int written = 0;
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    while (status == VP8_STATUS_SUSPENDED && fed < file.size()) {
        if (adapter.Cancelled())
            return DecodingCancelled();
        fed = std::min(file.size(), fed + step);
        status = WebPIUpdate(decoder.get(), file.data(), fed);
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
            return StatusFailure(status, width, height);
        int lastRow = 0;
        if (!WebPIDecGetRGB(decoder.get(), &lastRow, nullptr, nullptr, nullptr))
            continue; // nothing decoded yet
        // Whole bands, until the last rows are in.
        const int upTo = status == VP8_STATUS_OK
                             ? height
                             : written + (lastRow - written) / StreamBandRows * StreamBandRows;
        if (!WriteRows(adapter, picture.get(), static_cast<std::ptrdiff_t>(rowBytes), rowBytes,
                       written, upTo))
            return DecodingCancelled();
    }
    if (status != VP8_STATUS_OK)
        return StatusFailure(h.CutShort ? VP8_STATUS_NOT_ENOUGH_DATA : status, width, height);
    if (written < height) // cannot happen; never leave rows unwritten
        return BrokenPictureData("libwebp: the picture ends early");

    TDecodeNotes notes;
    notes.Meta.StoredAlpha = alpha;
    const WebPData data{file.data(), file.size()};
    const std::unique_ptr<WebPDemuxer, TDemuxFree> demux(WebPDemux(&data));
    ReadMeta(demux.get(), notes.Meta);
    return notes;
}

// An animation: its first frame composed on the canvas, by libwebp's animation decoder.
TOutcome<TDecodeNotes> DecodeAnimation(TByteSource& in, const TWebpHeader& h, TRowTarget& target) {
    const int width = h.Features.width, height = h.Features.height;
    const std::int64_t canvasBytes = std::int64_t{width} * height * 4;
    TLayoutAdapter adapter(target);
    // The file, the canvas and the previous frame's, a frame's own pixels (as LibraryHolds).
    adapter.DecoderHolds(static_cast<std::int64_t>(h.FileBytes) + 2 * canvasBytes +
                         LibraryHolds(h));
    if (!adapter.Start(width, height, TPixelLayout{TSamples::Rgba, 8}))
        return NotEnoughMemory(width, height);
    std::vector<std::uint8_t> file;
    if (!ReadFile(in, h, file))
        return NotEnoughMemory(width, height);
    if (adapter.Cancelled())
        return DecodingCancelled();

    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return UnsupportedKind("WebP", "libwebp's version does not match");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{file.data(), file.size()};
    const std::unique_ptr<WebPAnimDecoder, TAnimDecoderFree> decoder(
        WebPAnimDecoderNew(&data, &options));
    if (!decoder)
        return h.CutShort ? FileEndsEarly("libwebp: the animation is cut short")
                          : BrokenPictureData("libwebp: the animation cannot be read");
    WebPAnimInfo info;
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        info.canvas_width != static_cast<std::uint32_t>(width) ||
        info.canvas_height != static_cast<std::uint32_t>(height) ||
        !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
        return h.CutShort ? FileEndsEarly("libwebp: the first frame is cut short")
                          : BrokenPictureData("libwebp: the first frame cannot be decoded");
    int written = 0;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (!WriteRows(adapter, canvas, static_cast<std::ptrdiff_t>(rowBytes), rowBytes, written,
                   height))
        return DecodingCancelled();
    TDecodeNotes notes;
    notes.Meta.StoredAlpha = h.Features.has_alpha != 0;
    ReadMeta(WebPAnimDecoderGetDemuxer(decoder.get()), notes.Meta);
    return notes;
}

} // namespace

TOutcome<TDecodeNotes> StreamWebpBytes(TByteSource& in, TRowTarget& target) {
    const TOutcome<TWebpHeader> header = ReadHeader(in);
    if (!header.Ok())
        return header.Error();
    return header->Features.has_animation ? DecodeAnimation(in, *header, target)
                                          : DecodeStill(in, *header, target);
}

TOutcome<TDecodeNotes> StreamWebpFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, StreamWebpBytes);
}

} // namespace tonalyx
