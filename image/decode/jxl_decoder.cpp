// JPEG XL decoding with libjxl into the rows a TRowTarget lends: the first frame, grey or
// colour, with alpha, 8 bits a sample or 16.
//
// libjxl writes the picture into one buffer of the whole frame; the file goes in a chunk at a
// time (the decode can be cancelled between them), and the target admits the picture once
// the basic information gives its size, before that buffer exists. Rows are then written
// band by band from it. The orientation is kept, not applied: the rows are as stored.
#include "byte_source.h"
#include "decoder.h"
#include "layout_adapter.h"
#include "open_reasons.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>
#include <climits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tonalyx {
namespace {

constexpr const char* Format = "JPEG XL";
constexpr std::size_t ChunkBytes = std::size_t{1} << 20;

// The file handed to libjxl a chunk at a time. The bytes it has not consumed are handed again
// at the head of the next chunk; the buffer grows when they fill it (never past the file).
class TChunkFeed {
  public:
    TChunkFeed(TByteSource& in, JxlDecoder* dec) : FIn(in), FDec(dec) {}
    // False when the whole file is already in.
    bool Next() {
        const std::size_t kept = JxlDecoderReleaseInput(FDec);
        if (FPos >= FIn.Size())
            return false;
        const std::size_t left = static_cast<std::size_t>(FIn.Size() - FPos);
        if (FBuffer.empty() || kept == FBuffer.size())
            FBuffer.resize(std::min(std::max(ChunkBytes, 2 * FBuffer.size()), kept + left));
        std::memmove(FBuffer.data(), FBuffer.data() + (FSet - kept), kept);
        const std::size_t got = FIn.ReadAt(FPos, FBuffer.data() + kept, FBuffer.size() - kept);
        if (got == 0)
            return false;
        FPos += static_cast<std::int64_t>(got);
        FSet = kept + got;
        JxlDecoderSetInput(FDec, FBuffer.data(), FSet);
        return true;
    }

  private:
    TByteSource& FIn;
    JxlDecoder* FDec;
    std::vector<std::uint8_t> FBuffer;
    std::size_t FSet = 0; // bytes of the buffer last handed to libjxl
    std::int64_t FPos = 0;
};

bool IsSrgb(const JxlColorEncoding& c) {
    return (c.color_space == JXL_COLOR_SPACE_RGB || c.color_space == JXL_COLOR_SPACE_GRAY) &&
           c.white_point == JXL_WHITE_POINT_D65 &&
           (c.color_space == JXL_COLOR_SPACE_GRAY || c.primaries == JXL_PRIMARIES_SRGB) &&
           c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// The profile of the samples libjxl hands over, unless they are sRGB.
void ReadColour(const JxlDecoder* dec, TPictureMeta& meta) {
    JxlColorEncoding encoded;
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoded) ==
            JXL_DEC_SUCCESS &&
        IsSrgb(encoded))
        return;
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) ==
            JXL_DEC_SUCCESS &&
        size > 0) {
        meta.IccProfile.resize(size);
        if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           meta.IccProfile.data(), size) == JXL_DEC_SUCCESS)
            return;
    }
    meta.IccProfile.clear();
    meta.ProfileProblem = "The picture's colour profile cannot be read";
}

TSamples SamplesOf(const JxlBasicInfo& info) {
    const bool alpha = info.alpha_bits > 0;
    if (info.num_color_channels == 1)
        return alpha ? TSamples::GreyAlpha : TSamples::Grey;
    return alpha ? TSamples::Rgba : TSamples::Rgb;
}

// Once the basic information is read: the picture refused or admitted, and the format its
// rows will be asked in.
struct TFrame {
    int Width = 0, Height = 0;
    JxlPixelFormat Pixels{};
    std::size_t RowBytes = 0;
    std::vector<std::uint8_t> Buffer; // the whole frame, once libjxl asks for it
};

std::optional<TFailure> Admit(const JxlBasicInfo& info, TLayoutAdapter& adapter,
                              std::int64_t fileBytes, TFrame& frame, TPictureMeta& meta) {
    if (info.xsize == 0 || info.ysize == 0)
        return BrokenHeader("libjxl: a picture of no pixels");
    if (info.xsize > INT_MAX || info.ysize > INT_MAX)
        return SideTooLong("libjxl: " + std::to_string(info.xsize) + "×" +
                           std::to_string(info.ysize) + " pixels");
    frame.Width = static_cast<int>(info.xsize);
    frame.Height = static_cast<int>(info.ysize);
    const std::int64_t pixels = std::int64_t{frame.Width} * frame.Height;
    if (pixels > MaxDecodePixels)
        return PictureTooLarge(frame.Width, frame.Height);
    // Alpha wider than the colour decides too: an alpha of 1 in 65535 must not become 0.
    const bool wide =
        std::max(info.bits_per_sample, info.alpha_bits) > 8 || info.exponent_bits_per_sample > 0;
    const TSamples samples = SamplesOf(info);
    const std::uint32_t channels = info.num_color_channels + (info.alpha_bits > 0 ? 1 : 0);
    frame.Pixels = {channels, wide ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    frame.RowBytes = std::size_t{info.xsize} * channels * (wide ? 2 : 1);
    meta.StoredBits = static_cast<int>(std::min<std::uint32_t>(info.bits_per_sample, 16));
    meta.StoredAlpha = info.alpha_bits > 0;
    meta.Model = info.num_color_channels == 1 ? TStoredModel::Grey : TStoredModel::Rgb;
    meta.Orientation =
        info.orientation >= 1 && info.orientation <= 8 ? static_cast<int>(info.orientation) : 1;
    // Beside the frame buffer libjxl holds its own copy of every channel in 32-bit samples,
    // and may keep a reference frame of the same size; and the file may all be in the feed.
    const std::int64_t libraryBytes =
        pixels * (info.num_color_channels + info.num_extra_channels) * 4 * 2;
    adapter.DecoderHolds(fileBytes + libraryBytes +
                         static_cast<std::int64_t>(frame.RowBytes) * frame.Height);
    if (!adapter.Start(frame.Width, frame.Height, {samples, wide ? 16 : 8}))
        return NotEnoughMemory(frame.Width, frame.Height);
    return std::nullopt;
}

TOutcome<TDecodeNotes> WriteRows(TLayoutAdapter& adapter, const TFrame& frame, TDecodeNotes notes) {
    if (!adapter.WriteHeld(frame.Buffer.data(), static_cast<std::ptrdiff_t>(frame.RowBytes),
                           frame.RowBytes, frame.Height))
        return DecodingCancelled();
    return notes;
}

TOutcome<TDecodeNotes> Decode(TByteSource& in, TRowTarget& target) {
    std::uint8_t head[16] = {};
    const std::size_t headBytes = in.ReadAt(0, head, sizeof head);
    if (headBytes == 0)
        return EmptyFile();
    const JxlSignature signature = JxlSignatureCheck(head, headBytes);
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER)
        return NotPictureOf(Format, "no JPEG XL signature");

    const JxlDecoderPtr dec = JxlDecoderMake(nullptr);
    const JxlThreadParallelRunnerPtr runner =
        JxlThreadParallelRunnerMake(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (!dec || !runner ||
        JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                 JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS)
        return BrokenHeader("libjxl: the decoder cannot be set up");

    TLayoutAdapter adapter(target);
    TChunkFeed feed(in, dec.get());
    TDecodeNotes notes;
    TFrame frame;
    bool started = false;
    for (;;) {
        switch (JxlDecoderProcessInput(dec.get())) {
        case JXL_DEC_NEED_MORE_INPUT:
            if (adapter.Cancelled())
                return DecodingCancelled();
            if (!feed.Next())
                return FileEndsEarly("libjxl: more input needed at the end of the file");
            break;
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS)
                return BrokenHeader("libjxl: no basic information");
            if (std::optional<TFailure> refusal =
                    Admit(info, adapter, in.Size(), frame, notes.Meta))
                return std::move(*refusal);
            started = true;
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            ReadColour(dec.get(), notes.Meta);
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t size = 0;
            if (JxlDecoderImageOutBufferSize(dec.get(), &frame.Pixels, &size) != JXL_DEC_SUCCESS ||
                size != frame.RowBytes * std::size_t(frame.Height))
                return BrokenPictureData("libjxl: unexpected frame buffer size " +
                                         std::to_string(size));
            try {
                frame.Buffer.resize(size);
            } catch (const std::bad_alloc&) {
                return NotEnoughMemory(frame.Width, frame.Height);
            }
            if (JxlDecoderSetImageOutBuffer(dec.get(), &frame.Pixels, frame.Buffer.data(), size) !=
                JXL_DEC_SUCCESS)
                return BrokenPictureData("libjxl: the frame buffer is refused");
            break;
        }
        case JXL_DEC_FULL_IMAGE: // the first frame: an animation's others are not read
            return WriteRows(adapter, frame, std::move(notes));
        case JXL_DEC_SUCCESS:
            return BrokenPictureData("libjxl: the file holds no frame");
        case JXL_DEC_ERROR:
            return started ? BrokenPictureData("libjxl: the picture data cannot be decoded")
                           : BrokenHeader("libjxl: the header cannot be read");
        default:
            break;
        }
    }
}

} // namespace

TOutcome<TDecodeNotes> StreamJxlBytes(TByteSource& in, TRowTarget& target) {
    return Decode(in, target);
}

TOutcome<TDecodeNotes> StreamJxlFile(const std::filesystem::path& path, TRowTarget& target) {
    return StreamFileWith(path, target, StreamJxlBytes);
}

} // namespace tonalyx
