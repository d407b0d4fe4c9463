// libFuzzer target: any bytes through the JPEG decoder, row callback included, and its
// orientation and colour profile through the display conversion.
#include "decoder.h"
#include "fuzz_display.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

namespace {

// Pictures above this many pixels are skipped: they are legal up to MaxDecodePixels, but
// would take seconds and up to a few GB each, which starves the fuzzer. The size checks
// themselves are unit-tested.
constexpr long FuzzMaxPixels = 4'000'000;

struct THeaderError {
    jpeg_error_mgr Mgr;
    std::jmp_buf Jump;
};

void HeaderErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<THeaderError*>(cinfo->err)->Jump, 1);
}
void Silent(j_common_ptr) {}

struct THeaderProbe {
    jpeg_decompress_struct Info{};
    THeaderError Error{};
    ~THeaderProbe() { jpeg_destroy_decompress(&Info); }
};

// False when libjpeg reads a header announcing a large picture.
bool SmallEnough(const std::uint8_t* data, std::size_t size) {
    auto p = std::make_unique<THeaderProbe>();
    p->Info.err = jpeg_std_error(&p->Error.Mgr);
    p->Error.Mgr.error_exit = HeaderErrorExit;
    p->Error.Mgr.output_message = Silent;
    if (setjmp(p->Error.Jump))
        return true; // the decoder must fail on it too; let it
    jpeg_create_decompress(&p->Info);
    jpeg_mem_src(&p->Info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&p->Info, TRUE);
    return static_cast<long>(p->Info.image_width) * p->Info.image_height <= FuzzMaxPixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || !SmallEnough(data, size))
        return 0;
    int next = 0;
    const tonalyx::TDecodeResult r = tonalyx::DecodeJpegMemory(
        data, size, [&next](const tonalyx::TRaster& image, int first, int count) {
            // Rows arrive once each, in order, inside the picture.
            if (first != next || count <= 0 || first + count > image.Height())
                __builtin_trap();
            next = first + count;
        });
    if (r.Ok() != r.Reason().empty() ||
        (r.Ok() && (r->Stride() < 3 * std::ptrdiff_t{r->Width()} || next != r->Height())))
        __builtin_trap();
    if (r.Ok())
        tonalyx::fuzz::ShowAsTheViewWould(*r);
    return 0;
}
