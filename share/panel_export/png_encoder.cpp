// libpng reports errors through png_error, which must not return. Ours longjmps back to
// WriteRows; that frame and the ones it calls hold no object with a destructor, and every
// handle is released by the caller's guard once the jump has landed.
#include "png_encoder.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

namespace tonalyx {

namespace {

struct TPngSession {
    std::vector<std::uint8_t>* Out = nullptr;
    char Message[256] = {};
    bool OutOfMemory = false;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* s = static_cast<TPngSession*>(png_get_error_ptr(png));
    std::strncpy(s->Message, message ? message : "PNG encoding failed", sizeof s->Message - 1);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {} // nothing a user could act on

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* s = static_cast<TPngSession*>(png_get_io_ptr(png));
    try {
        s->Out->insert(s->Out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        s->OutOfMemory = true;
    }
    if (s->OutOfMemory) // outside the handler: the jump must not leave a live exception
        png_error(png, "Not enough memory for the PNG data");
}

void OnFlush(png_structp) {}

// Owns the write and info structures; destroys them on every path.
class TPngWriteGuard {
  public:
    TPngWriteGuard(TPngSession& session)
        : FPng(png_create_write_struct(PNG_LIBPNG_VER_STRING, &session, OnError, OnWarning)) {
        if (FPng)
            FInfo = png_create_info_struct(FPng);
    }
    ~TPngWriteGuard() { png_destroy_write_struct(&FPng, FInfo ? &FInfo : nullptr); }
    TPngWriteGuard(const TPngWriteGuard&) = delete;
    TPngWriteGuard& operator=(const TPngWriteGuard&) = delete;
    png_structp Png() const { return FPng; }
    png_infop Info() const { return FInfo; }

  private:
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
};

// No C++ object with a destructor lives in this frame: png_error may jump out of any call.
bool WriteRows(png_structp png, png_infop info, TPngSession& session, const TRgbRows& rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &session, OnWrite, OnFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rows.Width),
                 static_cast<png_uint_32>(rows.Height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, PngDeflateLevel);
    // libpng writes one IDAT per filled compression buffer.
    png_set_compression_buffer_size(png, PngMaxIdatBytes);
    png_write_info(png, info);
    for (int y = 0; y < rows.Height; ++y)
        png_write_row(png, rows.Data + y * rows.Stride);
    png_write_end(png, info);
    return true;
}

} // namespace

TPngResult EncodePng(const TRgbRows& rows) {
    if (rows.Width <= 0 || rows.Height <= 0 || !rows.Data)
        return TPngResult::Failure("The picture to encode is empty");
    std::vector<std::uint8_t> bytes;
    TPngSession session;
    session.Out = &bytes;
    TPngWriteGuard guard(session);
    if (!guard.Png() || !guard.Info())
        return TPngResult::Failure("Not enough memory for the PNG encoder");
    if (!WriteRows(guard.Png(), guard.Info(), session, rows))
        return TPngResult::Failure(session.Message[0] ? session.Message : "PNG encoding failed",
                                   "libpng " PNG_LIBPNG_VER_STRING);
    return bytes;
}

} // namespace tonalyx
