// JPEG decoding with libjpeg(-turbo), straight into the rows a TRowTarget lends: a TRaster's
// own, or a band of a picture that is never held whole.
//
// libjpeg reports fatal errors through error_exit, which must not return. Ours longjmps back
// to DecodeJpeg. To keep that well defined in C++, everything that changes after setjmp
// lives in a heap-allocated TJpegSession, and the frames a longjmp can skip (DecodeBody and
// what it calls) hold no object with a destructor while libjpeg runs.
#include "decoder.h"
#include "input_file.h"
#include "layout_adapter.h"
#include "open_reasons.h"
#include "whole_raster.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <stop_token>
#include <string>

#include <jpeglib.h>

#include <jerror.h> // after jpeglib.h, whose types it needs

namespace tonalyx {
namespace {

// Rows handed to libjpeg per jpeg_read_scanlines round and asked of the target at a time.
// Large enough that the callback and call overhead vanish, small enough that a caller
// counting rows runs close behind the decoder.
constexpr int BatchRows = StreamBandRows;

struct TJpegError {
    jpeg_error_mgr Mgr; // first member: libjpeg hands us a pointer to it
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    bool RowsDone = false;   // every row of the picture is decoded
    bool EndedEarly = false; // the file ended before that
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Message);
    std::longjmp(err->Jump, 1);
}

// Warnings (corrupt data, premature end of file) only count; decoding goes on and whatever
// could be decoded is shown, and a file that ended before its last row marks the picture
// incomplete. The one exception is a progressive scan that repeats or
// contradicts an earlier one: no writer makes such files, while a file made of such scans
// can keep the decoder busy for minutes, so it ends the decoding. Trace messages are
// dropped. Nothing is ever printed.
void EmitMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel >= 0)
        return;
    if (cinfo->err->msg_code == JWRN_BOGUS_PROGRESSION)
        ErrorExit(cinfo);
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    // The file's end is read ahead of need, so only running out of data that was needed
    // (the entropy decoder meeting the end-of-image marker the source makes up) counts.
    if (cinfo->err->msg_code == JWRN_HIT_MARKER && !err->RowsDone)
        err->EndedEarly = true;
    ++cinfo->err->num_warnings;
}

void OutputMessage(j_common_ptr) {}

// Reads a file for libjpeg through a 64 KB buffer. jpeg_stdio_src's 4 KB are too few:
// libjpeg-turbo takes its fast Huffman path only while the buffer holds enough bytes for
// a worst-case MCU (3 KB for 4:2:0 colour), so with 4 KB it mostly takes the slow one.
// Otherwise it behaves as jpeg_stdio_src: an empty file is an error, and a file that ends
// early ends with a warning and a made-up end-of-image marker.
struct TFileSource {
    jpeg_source_mgr Pub; // first member: libjpeg hands us a pointer to it
    TInputFile* File;
    bool StartOfFile;
    JOCTET Buffer[64 * 1024];

    static void Init(j_decompress_ptr cinfo) { Self(cinfo)->StartOfFile = true; }

    static boolean Fill(j_decompress_ptr cinfo) {
        TFileSource* src = Self(cinfo);
        std::size_t got = src->File->Read(src->Buffer, sizeof src->Buffer);
        if (got == 0) {
            if (src->StartOfFile)
                ERREXIT(cinfo, JERR_INPUT_EMPTY);
            WARNMS(cinfo, JWRN_JPEG_EOF);
            src->Buffer[0] = 0xFF;
            src->Buffer[1] = JPEG_EOI;
            got = 2;
        }
        src->Pub.next_input_byte = src->Buffer;
        src->Pub.bytes_in_buffer = got;
        src->StartOfFile = false;
        return TRUE;
    }

    static void Skip(j_decompress_ptr cinfo, long count) {
        if (count <= 0)
            return;
        auto left = static_cast<std::size_t>(count);
        jpeg_source_mgr& pub = Self(cinfo)->Pub;
        while (left > pub.bytes_in_buffer) {
            left -= pub.bytes_in_buffer;
            Fill(cinfo);
        }
        pub.next_input_byte += left;
        pub.bytes_in_buffer -= left;
    }

    static void Term(j_decompress_ptr) {}

    static TFileSource* Self(j_decompress_ptr cinfo) {
        return reinterpret_cast<TFileSource*>(cinfo->src);
    }

    // Installs a source on the open file, in libjpeg's memory: freed with the decompressor.
    static void Install(j_decompress_ptr cinfo, TInputFile* file) {
        auto* src = static_cast<TFileSource*>((*cinfo->mem->alloc_large)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(TFileSource)));
        src->Pub.init_source = Init;
        src->Pub.fill_input_buffer = Fill;
        src->Pub.skip_input_data = Skip;
        src->Pub.resync_to_restart = jpeg_resync_to_restart;
        src->Pub.term_source = Term;
        src->Pub.next_input_byte = nullptr;
        src->Pub.bytes_in_buffer = 0; // the first read fills the buffer
        src->File = file;
        src->StartOfFile = true;
        cinfo->src = &src->Pub;
    }
};

// Everything DecodeBody changes. Heap-allocated so its contents stay valid across longjmp.
struct TJpegSession {
    explicit TJpegSession(TRowTarget& target) : Target(target) {}

    jpeg_decompress_struct Info{};
    TJpegError Error{};
    bool Created = false;
    bool AllRowsRead = false;
    bool DataStarted = false; // the header is read and accepted: errors are in the data
    double ScanPasses = 0;    // the scans so far, in passes over every block of the picture
    // Declared 8-bit BGR: it lends the target's own rows.
    TLayoutAdapter Target;
    JSAMPARRAY Scratch = nullptr; // rows of a pass that is never reported, in libjpeg's pool
    TFailure Failure;             // set by DecodeBody for refusals that are not libjpeg errors
    TPictureMeta Meta;

    ~TJpegSession() {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

// Inks to light. Without an Adobe marker the samples are ink amounts (0 = no ink); files
// with one store them inverted (255 = no ink), as most writers of CMYK JPEGs do.
void CmykToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // c, m, y, k are now the light each ink lets through; the product, rounded.
        bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

// Whether the target has given up on the picture; sets the failure when it has.
bool Cancelled(TJpegSession& s) {
    if (!s.Target.Cancelled())
        return false;
    s.Failure = DecodingCancelled();
    return true;
}

// Reads every output row of the current pass. Only the final pass (`report`) goes to the
// target; another one is read into scratch rows and dropped. False when cancelled.
bool ReadPass(TJpegSession& s, const JSAMPARRAY cmykRows, bool report) {
    j_decompress_ptr cinfo = &s.Info;
    const bool cmyk = cinfo->out_color_space == JCS_CMYK;
    const bool inverted = cinfo->saw_Adobe_marker;
    if (!report && !cmyk && !s.Scratch)
        s.Scratch = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                cinfo->output_width * 3, BatchRows);
    std::array<JSAMPROW, BatchRows> rows;
    while (cinfo->output_scanline < cinfo->output_height) {
        if (Cancelled(s))
            return false;
        const int first = static_cast<int>(cinfo->output_scanline);
        const int count = std::min<int>(BatchRows, static_cast<int>(cinfo->output_height) - first);
        const TRowBand band = report ? s.Target.Rows(first, count) : TRowBand{};
        for (int i = 0; i < count; ++i)
            rows[i] = cmyk ? cmykRows[i] : report ? band.Bits + i * band.Stride : s.Scratch[i];
        int done = 0;
        while (done < count) {
            const JDIMENSION got = jpeg_read_scanlines(cinfo, rows.data() + done,
                                                       static_cast<JDIMENSION>(count - done));
            if (got == 0) // cannot happen with a non-suspending source; never spin
                ERREXIT(cinfo, JERR_INPUT_EMPTY);
            done += static_cast<int>(got);
        }
        if (!report)
            continue;
        if (cmyk) {
            for (int i = 0; i < count; ++i)
                CmykToBgr(cmykRows[i], band.Bits + i * band.Stride, cinfo->output_width, inverted);
        }
        s.Target.Written(first, count);
    }
    return true;
}

// Adds the scan whose header libjpeg has just read to the scans so far; false with
// s.Failure set when there are too many (see MaxJpegScans).
bool CountScan(TJpegSession& s) {
    j_decompress_ptr cinfo = &s.Info;
    if (cinfo->input_scan_number > MaxJpegScans) {
        s.Failure = BrokenPictureData("more than " + std::to_string(MaxJpegScans) + " scans");
        return false;
    }
    double all = 0, scan = 0;
    for (int c = 0; c < cinfo->num_components; ++c)
        all += double(cinfo->comp_info[c].width_in_blocks) * cinfo->comp_info[c].height_in_blocks;
    for (int c = 0; c < cinfo->comps_in_scan; ++c)
        scan += double(cinfo->cur_comp_info[c]->width_in_blocks) *
                cinfo->cur_comp_info[c]->height_in_blocks;
    s.ScanPasses += all > 0 ? scan / all : 0;
    if (s.ScanPasses > MaxJpegScanPasses) {
        s.Failure = BrokenPictureData("the scans cover the picture more than " +
                                      std::to_string(MaxJpegScanPasses) + " times");
        return false;
    }
    return true;
}

// The orientation and the colour profile from the markers jpeg_read_header has saved.
// No local here may have a destructor either: jpeg_read_icc_profile ends in error_exit when
// memory runs out.
void ReadMeta(TJpegSession& s) {
    j_decompress_ptr cinfo = &s.Info;
    s.Meta.Model = cinfo->jpeg_color_space == JCS_GRAYSCALE ? TStoredModel::Grey
                   : cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK
                       ? TStoredModel::Cmyk
                       : TStoredModel::Rgb;
    static constexpr char ExifId[] = "Exif\0";     // and the terminating NUL: six bytes
    static constexpr char IccId[] = "ICC_PROFILE"; // with its NUL: twelve bytes
    bool exifSeen = false, iccSeen = false;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && !exifSeen && m->data_length >= sizeof ExifId &&
            std::memcmp(m->data, ExifId, sizeof ExifId) == 0) {
            exifSeen = true; // the first Exif block counts, as for every reader
            s.Meta.Orientation = ExifOrientation(m->data, m->data_length);
        }
        iccSeen = iccSeen || (m->marker == JPEG_APP0 + 2 && m->data_length >= sizeof IccId &&
                              std::memcmp(m->data, IccId, sizeof IccId) == 0);
    }
    JOCTET* icc = nullptr; // malloc'ed by libjpeg
    unsigned int iccSize = 0;
    if (jpeg_read_icc_profile(cinfo, &icc, &iccSize)) {
        s.Meta.IccProfile.assign(icc, icc + iccSize);
        std::free(icc);
    } else if (iccSeen) {
        s.Meta.ProfileProblem = "the parts of the embedded colour profile do not fit together";
    }
}

// All libjpeg calls after the source is set. Returns false with s.Failure set for a refusal.
// No local here may have a destructor: error_exit longjmps across this frame.
bool DecodeBody(TJpegSession& s) {
    j_decompress_ptr cinfo = &s.Info;
    // Exif (the orientation) and ICC profiles; the rest of the markers are skipped.
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);
    ReadMeta(s);

    // libjpeg-turbo built for 8-bit samples already refuses other precisions while reading
    // the header; this keeps the refusal explicit should that ever change.
    if (cinfo->data_precision != 8) {
        s.Failure = UnsupportedKind("JPEG", std::to_string(cinfo->data_precision) + "-bit samples");
        return false;
    }
    const std::int64_t pixels = static_cast<std::int64_t>(cinfo->image_width) * cinfo->image_height;
    if (pixels > MaxDecodePixels) {
        s.Failure = PictureTooLarge(cinfo->image_width, cinfo->image_height);
        return false;
    }

    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE: // grey levels, expanded to equal B, G, R by libjpeg-turbo
    case JCS_YCbCr:
    case JCS_RGB:
        cinfo->out_color_space = JCS_EXT_BGR;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        break;
    default:
        s.Failure = UnsupportedKind(
            "JPEG", "colour space " + std::to_string(cinfo->jpeg_color_space) + " with " +
                        std::to_string(cinfo->num_components) + " components");
        return false;
    }
    // The fast integer IDCT and inter-block smoothing, as the histograms are defined with.
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_block_smoothing = TRUE;
    cinfo->buffered_image = jpeg_has_multiple_scans(cinfo);

    jpeg_calc_output_dimensions(cinfo); // no scaling: the output size is the picture size
    if (cinfo->buffered_image) {
        // Every block's coefficients stay in memory until the last scan is in.
        std::int64_t blocks = 0;
        for (int c = 0; c < cinfo->num_components; ++c)
            blocks += std::int64_t{cinfo->comp_info[c].width_in_blocks} *
                      cinfo->comp_info[c].height_in_blocks;
        s.Target.DecoderHolds(blocks * DCTSIZE2 * static_cast<std::int64_t>(sizeof(JCOEF)));
    }
    if (!s.Target.Start(static_cast<int>(cinfo->output_width),
                        static_cast<int>(cinfo->output_height), TPixelLayout{})) {
        s.Failure = NotEnoughMemory(cinfo->output_width, cinfo->output_height);
        return false;
    }
    // CMYK rows go through a small buffer owned by libjpeg's pool, freed with the decompressor.
    JSAMPARRAY cmykRows = nullptr;
    if (cinfo->out_color_space == JCS_CMYK)
        cmykRows = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                               cinfo->output_width * 4, BatchRows);

    jpeg_start_decompress(cinfo);
    s.DataStarted = true;
    if (cinfo->buffered_image && !CountScan(s)) // the first scan, whose header is read
        return false;
    if (!cinfo->buffered_image) {
        if (!ReadPass(s, cmykRows, true))
            return false;
    } else {
        // Progressive (multi-scan) file: only the picture of the last pass counts. Our sources
        // never suspend (a missing tail reads as end of image), so after absorbing the input
        // it is complete and the first output pass is the final one; the loop only guards
        // that assumption. Skipping the earlier, never-seen passes gives the same final
        // pixels at a fraction of the cost.
        for (;;) {
            int status;
            do {
                status = jpeg_consume_input(cinfo);
                if (status == JPEG_REACHED_SOS && !CountScan(s))
                    return false;
                if (Cancelled(s)) // each call takes a row of blocks
                    return false;
            } while (status != JPEG_SUSPENDED && status != JPEG_REACHED_EOI);
            const bool final = jpeg_input_complete(cinfo) || status == JPEG_SUSPENDED;
            jpeg_start_output(cinfo, cinfo->input_scan_number);
            if (!ReadPass(s, cmykRows, final))
                return false;
            jpeg_finish_output(cinfo);
            if (final)
                break;
        }
    }
    s.AllRowsRead = true;
    s.Error.RowsDone = true;
    jpeg_finish_decompress(cinfo);
    return true;
}

// What the markers said, and whether the file ended before the picture's last row.
TDecodeNotes Finished(TJpegSession& s) {
    return {std::move(s.Meta), s.Error.EndedEarly};
}

// libjpeg's fatal error in plain words; its own message is the detail.
TFailure LibjpegFailure(const TJpegSession& s) {
    const j_decompress_ptr cinfo = const_cast<j_decompress_ptr>(&s.Info);
    const int code = s.Error.Mgr.msg_code;
    std::string detail = "libjpeg: ";
    detail += s.Error.Message[0] ? s.Error.Message : "an error";
    detail += " (message " + std::to_string(code) + ")";
    switch (code) {
    case JERR_NO_SOI:
        return NotJpegPicture(std::move(detail));
    case JERR_INPUT_EMPTY:
        return EmptyFile();
    case JERR_INPUT_EOF:
    case JERR_NO_IMAGE:
        return FileEndsEarly(std::move(detail));
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return SideTooLong(std::move(detail));
    case JERR_OUT_OF_MEMORY:
        return NotEnoughMemory(cinfo->image_width, cinfo->image_height);
    case JERR_BAD_PRECISION:
    case JERR_NOT_COMPILED:
    case JERR_NOTIMPL:
        return UnsupportedKind("JPEG", std::move(detail));
    default:
        return s.DataStarted ? BrokenPictureData(std::move(detail))
                             : BrokenHeader(std::move(detail));
    }
}

// Opens the decompressor on the source that `setSource` installs and decodes it into target.
template <typename SetSource>
TOutcome<TDecodeNotes> DecodeJpeg(SetSource setSource, TRowTarget& target) {
    auto s = std::make_unique<TJpegSession>(target);
    s->Info.err = jpeg_std_error(&s->Error.Mgr);
    s->Error.Mgr.error_exit = ErrorExit;
    s->Error.Mgr.emit_message = EmitMessage;
    s->Error.Mgr.output_message = OutputMessage;
    if (setjmp(s->Error.Jump)) {
        // A libjpeg error. Once every row is in, a complaint about what follows the picture
        // (jpeg_finish_decompress reading trailing markers) does not spoil it.
        if (s->AllRowsRead)
            return Finished(*s);
        return LibjpegFailure(*s);
    }
    jpeg_create_decompress(&s->Info);
    s->Created = true;
    setSource(&s->Info);
    if (!DecodeBody(*s))
        return s->Failure;
    return Finished(*s);
}

// Into a raster of the picture's own.
template <typename SetSource>
TDecodeResult DecodeJpegRaster(SetSource setSource, const TRowsReady& rowsReady,
                               std::stop_token cancel = {}) {
    TWholeRaster target(rowsReady, std::move(cancel));
    return target.Finish(DecodeJpeg(setSource, target));
}

} // namespace

TDecodeResult DecodeJpegFile(const std::filesystem::path& path, const TRowsReady& rowsReady,
                             std::stop_token cancel) {
    // Streamed in 64 KB reads: the whole file is never held in memory.
    TInputFile file(path);
    if (!file.IsOpen())
        return file.Error();
    TInputFile* f = &file;
    return DecodeJpegRaster([f](j_decompress_ptr cinfo) { TFileSource::Install(cinfo, f); },
                            rowsReady, std::move(cancel));
}

TDecodeResult DecodeJpegMemory(const std::uint8_t* data, std::size_t size,
                               const TRowsReady& rowsReady) {
    if (size == 0 || data == nullptr)
        return EmptyFile();
    // jpeg_mem_src takes an unsigned long size; a larger buffer is cut, which only reads as
    // a truncated file.
    const auto length = static_cast<unsigned long>(
        std::min<std::size_t>(size, std::numeric_limits<unsigned long>::max()));
    return DecodeJpegRaster(
        [data, length](j_decompress_ptr cinfo) { jpeg_mem_src(cinfo, data, length); }, rowsReady);
}

TOutcome<TDecodeNotes> StreamJpegMemory(const std::uint8_t* data, std::size_t size,
                                        TRowTarget& target) {
    if (size == 0 || data == nullptr)
        return EmptyFile();
    const auto length = static_cast<unsigned long>(
        std::min<std::size_t>(size, std::numeric_limits<unsigned long>::max()));
    return DecodeJpeg([data, length](j_decompress_ptr cinfo) { jpeg_mem_src(cinfo, data, length); },
                      target);
}

TOutcome<TDecodeNotes> StreamJpegFile(const std::filesystem::path& path, TRowTarget& target) {
    TInputFile file(path);
    if (!file.IsOpen())
        return file.Error();
    TInputFile* f = &file;
    return DecodeJpeg([f](j_decompress_ptr cinfo) { TFileSource::Install(cinfo, f); }, target);
}

} // namespace tonalyx
