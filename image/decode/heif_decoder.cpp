// HEIF (HEIC) and AVIF decoding with libheif into the rows a TRowTarget lends: the primary
// image, 8 bits or more a sample, with its alpha when it has one.
//
// libheif decodes a picture whole, never row by row: the target admits its size from the
// file's boxes first, with what libheif will hold beside it (the compressed data, the decoded
// planes and their interleaved copy), and the rows are then written band by band from the
// decoded copy.
//
// libheif applies the file's transformations (rotation, mirroring, crop) while decoding and
// has no call that tells them, so the picture arrives upright and its orientation is 1; an
// Exif orientation some writers add as well describes the stored planes, not these rows, and
// is not applied a second time.
#include "byte_source.h"
#include "coded_colour.h"
#include "decoder.h"
#include "layout_adapter.h"
#include "open_reasons.h"

#include <libheif/heif.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <string>
#include <utility>

namespace tonalyx {
namespace {

struct THeifFree {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
    void operator()(heif_color_profile_nclx* p) const { heif_nclx_color_profile_free(p); }
};
template <typename T> using THeifPtr = std::unique_ptr<T, THeifFree>;

// libheif reads the file through the byte source, at the positions it asks for.
struct TReadPlace {
    TByteSource& In;
    std::int64_t Pos = 0;
    bool PastEnd = false; // libheif looked for bytes beyond the file's end
};

const heif_reader SourceReader = {
    1,
    [](void* user) { return static_cast<TReadPlace*>(user)->Pos; },
    [](void* data, std::size_t size, void* user) {
        auto* place = static_cast<TReadPlace*>(user);
        if (!place->In.ReadAllAt(place->Pos, data, size)) {
            place->PastEnd = true;
            return 1;
        }
        place->Pos += static_cast<std::int64_t>(size);
        return 0;
    },
    [](std::int64_t position, void* user) {
        auto* place = static_cast<TReadPlace*>(user);
        if (position < 0 || position > place->In.Size())
            return 1;
        place->Pos = position;
        return 0;
    },
    [](std::int64_t targetSize, void* user) {
        // libheif asks for one more box header (8 bytes) at the end of every file; anything
        // else past the end is data the file should have held.
        auto* place = static_cast<TReadPlace*>(user);
        if (targetSize <= place->In.Size())
            return heif_reader_grow_status_size_reached;
        place->PastEnd = place->PastEnd || targetSize != place->In.Size() + 8;
        return heif_reader_grow_status_size_beyond_eof;
    },
};

std::string DetailOf(const heif_error& e) {
    return std::string("libheif: ") + (e.message ? e.message : "error") + " (" +
           std::to_string(e.code) + "/" + std::to_string(e.subcode) + ")";
}

// A failure of libheif in plain words; reading tells the boxes' failures (a file of other
// content, a damaged start) from the picture data's. Whatever libheif makes of a file cut
// short (a box missing, data outside the file), it looked for bytes past its end.
TFailure FailureOf(const heif_error& e, const char* format, bool reading, bool pastEnd) {
    std::string detail = DetailOf(e);
    if (e.subcode == heif_suberror_Security_limit_exceeded)
        return reading ? SideTooLong(std::move(detail))
                       : BrokenPictureData("the coded picture is larger than the file's header "
                                           "declares; " +
                                           std::move(detail));
    if (e.subcode == heif_suberror_End_of_data || pastEnd)
        return FileEndsEarly(std::move(detail));
    switch (e.code) {
    case heif_error_Unsupported_filetype:
        return NotPictureOf(format, std::move(detail));
    case heif_error_Unsupported_feature:
        return UnsupportedKind(format, std::move(detail));
    case heif_error_Invalid_input:
        if (reading && e.subcode == heif_suberror_No_ftyp_box)
            return NotPictureOf(format, std::move(detail));
        break;
    default:
        break;
    }
    return reading ? BrokenHeader(std::move(detail)) : BrokenPictureData(std::move(detail));
}

void ReadColour(const heif_image_handle* handle, TPictureMeta& meta) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_rICC || type == heif_color_profile_type_prof) {
        meta.IccProfile.resize(heif_image_handle_get_raw_color_profile_size(handle));
        if (meta.IccProfile.empty() ||
            heif_image_handle_get_raw_color_profile(handle, meta.IccProfile.data()).code !=
                heif_error_Ok) {
            meta.IccProfile.clear();
            meta.ProfileProblem = "The embedded colour profile cannot be read";
        }
        return;
    }
    if (type != heif_color_profile_type_nclx)
        return;
    heif_color_profile_nclx* read = nullptr;
    const heif_error e = heif_image_handle_get_nclx_color_profile(handle, &read);
    const THeifPtr<heif_color_profile_nclx> nclx(read); // made even when libheif refuses it
    if (e.code != heif_error_Ok || !nclx) {
        meta.ProfileProblem = "The picture's colour description cannot be read";
        return;
    }
    DescribeCodedColour(
        {static_cast<int>(nclx->color_primaries),
         static_cast<int>(nclx->transfer_characteristics),
         {nclx->color_primary_red_x, nclx->color_primary_red_y, nclx->color_primary_green_x,
          nclx->color_primary_green_y, nclx->color_primary_blue_x, nclx->color_primary_blue_y,
          nclx->color_primary_white_x, nclx->color_primary_white_y}},
        meta);
}

heif_chroma InterleavedChroma(bool wide, bool alpha) {
    if (!wide)
        return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    if constexpr (std::endian::native == std::endian::big)
        return alpha ? heif_chroma_interleaved_RRGGBBAA_BE : heif_chroma_interleaved_RRGGBB_BE;
    return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
}

TOutcome<TDecodeNotes> Decode(TByteSource& in, TRowTarget& target, const char* format) {
    std::uint8_t head[32] = {};
    const std::size_t headBytes = in.ReadAt(0, head, sizeof head);
    if (headBytes == 0)
        return EmptyFile();
    switch (heif_check_filetype(head, static_cast<int>(headBytes))) {
    case heif_filetype_no:
        return NotPictureOf(format, "libheif: no HEIF file type box");
    case heif_filetype_yes_unsupported:
        return UnsupportedKind(format, "libheif: a file type it does not read");
    case heif_filetype_maybe:
        return FileEndsEarly("libheif: the file type box is cut short");
    case heif_filetype_yes_supported:
        break;
    }
    const THeifPtr<heif_context> context(heif_context_alloc());
    if (!context)
        return NotEnoughMemory(0, 0);
    // libheif refuses a side of 32768 pixels or more while it reads the boxes, before any
    // plane exists (its security limit, which 1.15 keeps whatever the context is told); the
    // pixel count is checked against MaxDecodePixels below.
    TReadPlace place{in};
    if (const heif_error e =
            heif_context_read_from_reader(context.get(), &SourceReader, &place, nullptr);
        e.code != heif_error_Ok)
        return FailureOf(e, format, true, place.PastEnd);
    heif_image_handle* primary = nullptr;
    if (const heif_error e = heif_context_get_primary_image_handle(context.get(), &primary);
        e.code != heif_error_Ok)
        return FailureOf(e, format, true, place.PastEnd);
    const THeifPtr<heif_image_handle> handle(primary);

    // The size as shown (after libheif's transformations) and as coded (ispe).
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    const std::int64_t codedPixels =
        std::max(std::int64_t{heif_image_handle_get_ispe_width(handle.get())} *
                     heif_image_handle_get_ispe_height(handle.get()),
                 std::int64_t{width} * height);
    if (width <= 0 || height <= 0)
        return BrokenHeader("libheif: primary image of " + std::to_string(width) + "×" +
                            std::to_string(height) + " pixels");
    if (codedPixels > MaxDecodePixels)
        return PictureTooLarge(width, height);
    // The size admitted is the header's; what libheif allocates while decoding is what the
    // coded data says: a grid's own output size, each coded stream's frame size. A file whose
    // data claims far more than its header (a few hundred bytes can claim gigabytes) is
    // refused before those planes exist. A coded frame may exceed the header by its padding
    // to whole coding blocks; libheif refuses a side at or above the limit.
    constexpr int CodingBlockPadding = 64;
    heif_context_set_maximum_image_size_limit(
        context.get(), std::max({width, height, heif_image_handle_get_ispe_width(handle.get()),
                                 heif_image_handle_get_ispe_height(handle.get())}) +
                           CodingBlockPadding);
    const int bits = std::max(heif_image_handle_get_luma_bits_per_pixel(handle.get()),
                              heif_image_handle_get_chroma_bits_per_pixel(handle.get()));
    if (bits < 1 || bits > 16)
        return UnsupportedKind(format, "libheif: " + std::to_string(bits) + "-bit samples");
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const bool wide = bits > 8;

    TDecodeNotes notes;
    notes.Meta.StoredBits = bits;
    notes.Meta.StoredAlpha = alpha;
    ReadColour(handle.get(), notes.Meta);

    // What libheif holds until the rows are written, generously: the compressed data (at most
    // the file), the coded planes (luma, two chroma, alpha) with a transformed copy, and the
    // interleaved picture the rows are copied from.
    const std::int64_t sampleBytes = wide ? 2 : 1;
    const std::int64_t channels = alpha ? 4 : 3;
    const std::int64_t rowBytes = std::int64_t{width} * channels * sampleBytes;
    TLayoutAdapter adapter(target);
    adapter.DecoderHolds(in.Size() + codedPixels * sampleBytes * 4 * 2 + rowBytes * height);
    if (!adapter.Start(width, height, {alpha ? TSamples::Rgba : TSamples::Rgb, wide ? bits : 8}))
        return NotEnoughMemory(width, height);
    if (adapter.Cancelled())
        return DecodingCancelled();

    const THeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    heif_image* decoded = nullptr;
    if (const heif_error e = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                                               InterleavedChroma(wide, alpha), options.get());
        e.code != heif_error_Ok) {
        heif_image_release(decoded);
        if (e.code == heif_error_Memory_allocation_error &&
            e.subcode != heif_suberror_Security_limit_exceeded)
            return NotEnoughMemory(width, height);
        return FailureOf(e, format, false, place.PastEnd);
    }
    const THeifPtr<heif_image> image(decoded);
    const int range = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != height ||
        range != (wide ? bits : 8) || stride < rowBytes)
        return BrokenPictureData("libheif: the decoded picture is not the one its header "
                                 "declares (" +
                                 std::to_string(range) + "-bit samples)");

    if (!adapter.WriteHeld(plane, stride, static_cast<std::size_t>(rowBytes), height))
        return DecodingCancelled();
    return notes;
}

} // namespace

TOutcome<TDecodeNotes> StreamHeifBytes(TByteSource& in, TRowTarget& target) {
    return Decode(in, target, "HEIF");
}

TOutcome<TDecodeNotes> StreamAvifBytes(TByteSource& in, TRowTarget& target) {
    return Decode(in, target, "AVIF");
}

TOutcome<TDecodeNotes> StreamHeifFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, StreamHeifBytes);
}

TOutcome<TDecodeNotes> StreamAvifFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, StreamAvifBytes);
}

} // namespace tonalyx
