// libpng reports errors through png_error, which must not return. Ours longjmps back to the
// function that set the jump; those functions hold no object with a destructor, and the
// structures are released by the caller's guard once the jump has landed.
#include "png_check.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace tonalyx {

namespace {

constexpr std::string_view Signature("\x89PNG\r\n\x1a\n", 8);
// A chunk that is not pixel data, such as text, takes at most this much memory.
constexpr png_alloc_size_t MaxChunkBytes = 1 << 20;
constexpr png_uint_32 MaxKeptChunks = 64;

struct TPngSource {
    std::string_view Bytes;
    std::size_t Offset = 0;
    char Message[256] = {};
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* source = static_cast<TPngSource*>(png_get_error_ptr(png));
    std::strncpy(source->Message, message ? message : "damaged", sizeof source->Message - 1);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {} // harmless by definition; errors decide

void OnRead(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (source->Bytes.size() - source->Offset < length)
        png_error(png, "file cut short");
    std::memcpy(data, source->Bytes.data() + source->Offset, length);
    source->Offset += length;
}

class TPngReadGuard {
  public:
    explicit TPngReadGuard(TPngSource& source)
        : FPng(png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning)) {
        if (FPng)
            FInfo = png_create_info_struct(FPng);
    }
    ~TPngReadGuard() { png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr); }
    TPngReadGuard(const TPngReadGuard&) = delete;
    TPngReadGuard& operator=(const TPngReadGuard&) = delete;
    png_structp Png() const { return FPng; }
    png_infop Info() const { return FInfo; }

  private:
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
};

struct TPngLayout {
    png_uint_32 Width = 0, Height = 0;
    int Passes = 0;
    png_size_t RowBytes = 0;
};

// Reads the chunks before the pixel data. No C++ object with a destructor lives here.
bool ReadHeader(png_structp png, png_infop info, TPngSource& source, TPngLayout& layout) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &source, OnRead);
    png_set_user_limits(png, PngMaxSide, PngMaxSide);
    png_set_chunk_malloc_max(png, MaxChunkBytes);
    png_set_chunk_cache_max(png, MaxKeptChunks);
    // A damaged chunk of any kind, and what libpng would only warn about, make no picture.
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(png, 0);
    png_read_info(png, info);
    layout.Width = png_get_image_width(png, info);
    layout.Height = png_get_image_height(png, info);
    if (std::uint64_t(layout.Width) * layout.Height > PngMaxPixels)
        png_error(png, "picture has too many pixels");
    layout.Passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout.RowBytes = png_get_rowbytes(png, info);
    return true;
}

// Decodes every row into row and reads the chunks up to the end. No C++ object with a
// destructor lives here.
bool ReadRows(png_structp png, png_infop info, const TPngLayout& layout, png_bytep row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < layout.Passes; ++pass)
        for (png_uint_32 y = 0; y < layout.Height; ++y)
            png_read_row(png, row, nullptr);
    png_read_end(png, info);
    return true;
}

} // namespace

std::string PngProblem(std::string_view bytes) {
    if (!bytes.starts_with(Signature))
        return "not a PNG file (no PNG signature)";
    TPngSource source;
    source.Bytes = bytes;
    TPngReadGuard guard(source);
    if (!guard.Png() || !guard.Info())
        return "not enough memory to check the PNG file";
    TPngLayout layout;
    if (!ReadHeader(guard.Png(), guard.Info(), source, layout))
        return std::string("not a sound PNG file: ") + source.Message;
    std::vector<png_byte> row(layout.RowBytes);
    if (!ReadRows(guard.Png(), guard.Info(), layout, row.data()))
        return std::string("not a sound PNG file: ") + source.Message;
    if (source.Offset != bytes.size())
        return "not a sound PNG file: data after its end";
    return {};
}

} // namespace tonalyx
