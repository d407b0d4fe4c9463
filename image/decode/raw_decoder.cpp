// Camera raw files as pictures: the camera's own rendering that the file embeds (what the
// camera's histogram was made from), or, without one large enough, LibRaw's development of
// the sensor's data. The sensor's own counts are the sensor library's business.
#include "byte_source.h"
#include "decoder.h"
#include "layout_adapter.h"
#include "memory_left.h"
#include "open_reasons.h"
#include "raw_source.h"

#include <libraw.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

namespace tonalyx {
namespace {

// LibRaw's flip (bit 0 mirrors left to right, bit 1 top to bottom, bit 2 exchanges the
// sides) as the Exif orientation the display turns pictures by.
int OrientationOfFlip(int flip) {
    static constexpr int Orientation[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return flip >= 0 && flip < 8 ? Orientation[flip] : 1;
}

// A preview is the picture when its longer side is at least half the sensor's: smaller ones
// are thumbnails for a camera's index screen, not what its histogram was made from.
bool LargeEnough(const libraw_thumbnail_t& thumb, const libraw_image_sizes_t& sizes) {
    const int preview = std::max<int>(thumb.twidth, thumb.theight);
    const int sensor = std::max<int>(sizes.width, sizes.height);
    return preview > 0 && 2 * preview >= sensor;
}

// 8-bit rows held in memory (a bitmap preview, a development) written band by band.
TOutcome<TDecodeNotes> WriteRgbRows(const std::uint8_t* pixels, int width, int height,
                                    std::int64_t held, TRowTarget& target, TDecodeNotes notes) {
    TLayoutAdapter adapter(target);
    adapter.DecoderHolds(held);
    if (!adapter.Start(width, height, {TSamples::Rgb, 8}))
        return NotEnoughMemory(width, height);
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    if (!adapter.WriteHeld(pixels, static_cast<std::ptrdiff_t>(rowBytes), rowBytes, height))
        return DecodingCancelled();
    return notes;
}

struct TProcessedFree {
    void operator()(libraw_processed_image_t* p) const { LibRaw::dcraw_clear_mem(p); }
};

// LibRaw's development: the camera's white balance, sRGB, 8 bits, every photosite, the exposure
// as recorded.
TOutcome<TDecodeNotes> Develop(TRawSource& source, TRowTarget& target, TDecodeNotes notes) {
    LibRaw& raw = source.Raw();
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    const std::int64_t pixels = std::int64_t{s.width} * s.height;
    // The unpacked raw, LibRaw's working picture (four 16-bit samples a pixel) and the
    // developed copy the rows come from.
    const std::int64_t held =
        std::int64_t{s.raw_width} * s.raw_height * 2 + pixels * 8 + pixels * 3;
    if (auto why = WhyOverMemoryLeft(s.width, s.height, held, MemoryLeftBytes()))
        return *why;
    // Taken now: LibRaw's development resets it to the flip it was asked for.
    const int flip = s.flip;
    if (TOutcome<void> unpacked = source.Unpack(); !unpacked)
        return unpacked.Error();
    libraw_output_params_t& p = raw.imgdata.params;
    p.use_camera_wb = 1;
    p.output_color = 1; // sRGB
    p.output_bps = 8;
    p.half_size = 0;
    // The exposure as recorded, the white level at white: brightened to a histogram's liking,
    // an underexposed frame would look as exposed as any other.
    p.no_auto_bright = 1;
    p.user_flip = 0; // the display turns it, as any picture, by its orientation
    if (const int code = raw.dcraw_process(); code != LIBRAW_SUCCESS)
        return source.Failure(code);
    int code = LIBRAW_SUCCESS;
    const std::unique_ptr<libraw_processed_image_t, TProcessedFree> image(
        raw.dcraw_make_mem_image(&code));
    if (!image || code != LIBRAW_SUCCESS)
        return source.Failure(code == LIBRAW_SUCCESS ? LIBRAW_UNSUFFICIENT_MEMORY : code);
    if (image->type != LIBRAW_IMAGE_BITMAP || image->colors != 3 || image->bits != 8)
        return BrokenPictureData("LibRaw: a development of " + std::to_string(image->colors) +
                                 " colours at " + std::to_string(image->bits) + " bits");
    notes.Meta.Rendition = TRawRendition::Developed;
    notes.Meta.Orientation = OrientationOfFlip(flip);
    raw.recycle(); // the working picture goes before the rows are copied
    return WriteRgbRows(image->data, image->width, image->height, held, target, notes);
}

// The embedded preview when there is one large enough, else nothing.
std::optional<TOutcome<TDecodeNotes>> CameraPreview(TRawSource& source, TRowTarget& target) {
    LibRaw& raw = source.Raw();
    if (raw.unpack_thumb() != LIBRAW_SUCCESS)
        return std::nullopt; // no preview, or one LibRaw cannot read: develop instead
    const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
    if (!thumb.thumb || thumb.tlength == 0 || !LargeEnough(thumb, raw.imgdata.sizes))
        return std::nullopt;
    const int flip = raw.imgdata.sizes.flip;
    TOutcome<TDecodeNotes> shown = TFailure{};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(thumb.thumb);
    if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG) {
        shown = StreamJpegMemory(bytes, thumb.tlength, target);
    } else if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP && thumb.tcolors == 3 &&
               std::uint64_t{thumb.tlength} >= std::uint64_t{thumb.twidth} * thumb.theight * 3) {
        shown = WriteRgbRows(bytes, thumb.twidth, thumb.theight, thumb.tlength, target, {});
    } else {
        return std::nullopt;
    }
    if (!shown)
        return shown;
    shown->Meta.Rendition = TRawRendition::CameraPreview;
    // The preview is stored as the sensor is; the raw file says which way is up (a
    // preview's own Exif, when it has one, is kept where the raw says nothing).
    if (flip != 0)
        shown->Meta.Orientation = OrientationOfFlip(flip);
    return shown;
}

TOutcome<TDecodeNotes> Decode(TByteSource& in, TRowTarget& target, bool develop) {
    TRawSource source(in, [&target] { return target.Cancelled(); });
    if (TOutcome<void> opened = source.Open(); !opened)
        return opened.Error();
    if (!develop)
        if (std::optional<TOutcome<TDecodeNotes>> preview = CameraPreview(source, target))
            return std::move(*preview);
    if (target.Cancelled())
        return DecodingCancelled();
    return Develop(source, target, {});
}

} // namespace

TOutcome<TDecodeNotes> StreamRawBytes(TByteSource& in, TRowTarget& target) {
    return Decode(in, target, false);
}

TOutcome<TDecodeNotes> StreamRawDevelopedBytes(TByteSource& in, TRowTarget& target) {
    return Decode(in, target, true);
}

TOutcome<TDecodeNotes> StreamRawFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, StreamRawBytes);
}

TOutcome<TDecodeNotes> StreamRawDevelopedFile(const std::filesystem::path& path,
                                              TRowTarget& target) {
    return StreamFileWith(path, target, StreamRawDevelopedBytes);
}

} // namespace tonalyx
