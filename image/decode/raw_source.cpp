#include "raw_source.h"

#include "decoder.h"
#include "open_reasons.h"

#include <libraw.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace tonalyx {

// LibRaw's view of a TByteSource. LibRaw reads headers a byte at a time and the sensor's
// data in runs of any length, so reads go through a window of the file held here: a byte
// costs an index, not a call into the source. While the caller's check says cancelled, every
// read comes back empty, LibRaw's own cancel flag is raised and the decode ends at its next
// row or read; nothing is thrown from here, since some of LibRaw's loops run on OpenMP
// threads, out of which an exception may not pass.
class TRawStream final : public LibRaw_abstract_datastream {
  public:
    TRawStream(TByteSource& bytes, const TCancelCheck& cancelled, LibRaw& raw)
        : FBytes(bytes), FSize(std::max<std::int64_t>(bytes.Size(), 0)), FCancelled(cancelled),
          FRaw(raw) {}

    // Whether a read wanted bytes past the end of the file.
    bool HitEnd() const { return FHitEnd; }
    bool CancelSeen() const { return FCancelSeen; }
    // Whether the file begins as the raw formats do (TIFF's byte order mark, most of them; a
    // Fuji's name; an ISO box), so that a file cut short is told from one of another kind.
    bool StartsLikeRaw() const {
        char head[12] = {};
        FBytes.ReadAt(0, head, sizeof head);
        return std::memcmp(head, "II", 2) == 0 || std::memcmp(head, "MM", 2) == 0 ||
               std::memcmp(head, "FUJIFILM", 8) == 0 || std::memcmp(head + 4, "ftyp", 4) == 0;
    }
    // Asks the caller's check; once it says cancelled, this stream stays so.
    bool Cancelled() {
        if (!FCancelSeen && FCancelled && FCancelled()) {
            FCancelSeen = true;
            FRaw.setCancelFlag();
        }
        return FCancelSeen;
    }

    int valid() override { return 1; }
    int read(void* ptr, size_t size, size_t nmemb) override {
        if (size == 0 || nmemb == 0 || nmemb > SIZE_MAX / size)
            return 0;
        const std::size_t want = size * nmemb;
        auto* dst = static_cast<std::uint8_t*>(ptr);
        std::size_t got = 0;
        while (got < want) {
            if (InWindow()) {
                const std::size_t n = std::min<std::size_t>(
                    want - got, static_cast<std::size_t>(FWindowStart + FWindowLength - FPos));
                std::memcpy(dst + got, FWindow.data() + (FPos - FWindowStart), n);
                got += n;
                FPos += static_cast<std::int64_t>(n);
            } else if (want - got >= WindowBytes) { // a long run: straight into the caller's
                const std::size_t n = Cancelled() ? 0 : FBytes.ReadAt(FPos, dst + got, want - got);
                got += n;
                FPos += static_cast<std::int64_t>(n);
                if (got < want)
                    break;
            } else if (!Refill()) {
                break;
            }
        }
        if (got < want)
            FHitEnd = true;
        return static_cast<int>(std::min<std::size_t>(got / size, INT_MAX));
    }
    int seek(INT64 offset, int whence) override {
        std::int64_t to = offset;
        if (whence == SEEK_CUR)
            to = FPos + offset;
        else if (whence == SEEK_END)
            to = FSize + offset;
        else if (whence != SEEK_SET)
            return -1;
        FPos = std::clamp<std::int64_t>(to, 0, FSize);
        return 0;
    }
    INT64 tell() override { return FPos; }
    INT64 size() override { return FSize; }
    int get_char() override {
        if (!InWindow() && !Refill()) {
            FHitEnd = true;
            return -1;
        }
        return FWindow[static_cast<std::size_t>(FPos++ - FWindowStart)];
    }
    char* gets(char* str, int sz) override {
        if (sz < 1)
            return nullptr;
        int n = 0;
        while (n < sz - 1) {
            const int c = get_char();
            if (c < 0)
                break;
            str[n++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        str[n] = '\0';
        return n > 0 ? str : nullptr;
    }
    int scanf_one(const char* fmt, void* val) override {
        char text[64] = {};
        const std::int64_t at = FPos;
        const int length = read(text, 1, sizeof text - 1);
        FPos = at;
        text[length] = '\0';
        // The format is LibRaw's own ("%d", "%f"); %n tells how much of the text it took.
        int used = 0;
        const int result = std::sscanf(text, (std::string(fmt) + "%n").c_str(), val, &used);
        if (result > 0)
            FPos = std::min(FSize, at + used);
        return result;
    }
    int eof() override { return FPos >= FSize; }
    void* make_jas_stream() override { return nullptr; }
    // A lossy DNG's tiles are decoded from memory: the file is read whole once, here.
    int jpeg_src(void* jpegData) override {
        if (FWhole.empty()) {
            FWhole.resize(static_cast<std::size_t>(FSize));
            if (FSize == 0 || !FBytes.ReadAllAt(0, FWhole.data(), FWhole.size())) {
                FWhole.clear();
                return -1;
            }
            FWholeStream = std::make_unique<LibRaw_buffer_datastream>(FWhole.data(), FWhole.size());
        }
        FWholeStream->seek(FPos, SEEK_SET);
        return FWholeStream->jpeg_src(jpegData);
    }
    int lock() override {
        FLock.lock();
        return 1;
    }
    void unlock() override { FLock.unlock(); }

  private:
    static constexpr std::size_t WindowBytes = 64 * 1024;

    bool InWindow() const { return FPos >= FWindowStart && FPos < FWindowStart + FWindowLength; }
    bool Refill() {
        FWindow.resize(WindowBytes);
        FWindowStart = FPos;
        FWindowLength =
            Cancelled()
                ? 0
                : static_cast<std::int64_t>(FBytes.ReadAt(FPos, FWindow.data(), WindowBytes));
        return FWindowLength > 0;
    }

    TByteSource& FBytes;
    const std::int64_t FSize;
    const TCancelCheck& FCancelled;
    LibRaw& FRaw;
    std::int64_t FPos = 0;
    std::vector<std::uint8_t> FWindow;
    std::int64_t FWindowStart = 0, FWindowLength = 0;
    bool FHitEnd = false, FCancelSeen = false;
    std::vector<std::uint8_t> FWhole;
    std::unique_ptr<LibRaw_buffer_datastream> FWholeStream;
    std::mutex FLock;
};

namespace {

int Progress(void* data, LibRaw_progress, int, int) {
    return static_cast<TRawStream*>(data)->Cancelled() ? 1 : 0;
}

} // namespace

TRawSource::TRawSource(TByteSource& bytes, TCancelCheck cancelled, TMemoryLeft memoryLeft)
    : FCancelled(std::move(cancelled)), FMemoryLeft(std::move(memoryLeft)) {
    FRaw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    FStream = std::make_unique<TRawStream>(bytes, FCancelled, *FRaw);
    // LibRaw's own handlers print to standard error; the reasons returned say it instead.
    FRaw->set_dataerror_handler(nullptr, nullptr);
    FRaw->set_memerror_handler(nullptr, nullptr);
    FRaw->set_progress_handler(&Progress, FStream.get());
    // LibRaw refuses a raw image larger than this; the largest sensor admitted below
    // (MaxDecodePixels, four 16-bit samples a photosite) fits.
    FRaw->imgdata.params.max_raw_memory_mb =
        static_cast<unsigned>(MaxDecodePixels * 4 * 2 / (1024 * 1024) + 1);
}

TRawSource::~TRawSource() {
    FRaw.reset(); // before the stream it reads
}

TFailure TRawSource::Failure(int code) const {
    const libraw_image_sizes_t& s = FRaw->imgdata.sizes;
    std::string detail = std::string("LibRaw: ") + libraw_strerror(code);
    if (FStream->CancelSeen() || code == LIBRAW_CANCELLED_BY_CALLBACK)
        return DecodingCancelled();
    switch (code) {
    case LIBRAW_FILE_UNSUPPORTED:
        if (FStream->HitEnd() && FStream->StartsLikeRaw())
            return FileEndsEarly(std::move(detail));
        if (FRaw->imgdata.idata.make[0] != '\0') // a camera's file LibRaw does not read
            return UnsupportedKind("camera raw", std::move(detail));
        return NotPictureOf("camera raw", std::move(detail));
    case LIBRAW_UNSUFFICIENT_MEMORY:
    case LIBRAW_MEMPOOL_OVERFLOW:
        return NotEnoughMemory(s.raw_width, s.raw_height);
    case LIBRAW_TOO_BIG:
        return PictureTooLarge(s.raw_width, s.raw_height);
    case LIBRAW_IO_ERROR:
        if (FStream->HitEnd() && !FStream->StartsLikeRaw())
            return NotPictureOf("camera raw", std::move(detail));
        return FStream->HitEnd() ? FileEndsEarly(std::move(detail))
                                 : BrokenPictureData(std::move(detail));
    case LIBRAW_DATA_ERROR:
        return BrokenPictureData(std::move(detail));
    default:
        return FStream->HitEnd() ? FileEndsEarly(std::move(detail))
                                 : BrokenHeader(std::move(detail));
    }
}

TOutcome<void> TRawSource::Open() {
    if (FStream->size() == 0)
        return EmptyFile();
    const int code = FRaw->open_datastream(FStream.get());
    if (code != LIBRAW_SUCCESS)
        return Failure(code);
    const libraw_image_sizes_t& s = FRaw->imgdata.sizes;
    const std::int64_t width = s.raw_width, height = s.raw_height;
    if (width * height > MaxDecodePixels)
        return PictureTooLarge(width, height);
    // A colour filter gives one sample a photosite; without one LibRaw keeps four.
    const std::int64_t samples = FRaw->imgdata.idata.filters ? 1 : 4;
    const std::uint64_t left = FMemoryLeft ? FMemoryLeft() : MemoryLeftBytes();
    if (auto why = WhyOverMemoryLeft(s.raw_width, s.raw_height, width * height * samples * 2, left))
        return *why;
    return TOutcome<void>::Success();
}

TOutcome<void> TRawSource::Unpack() {
    const int code = FRaw->unpack();
    if (code != LIBRAW_SUCCESS)
        return Failure(code);
    if (FStream->CancelSeen())
        return DecodingCancelled();
    FWhite = FRaw->imgdata.color.maximum;
    return TOutcome<void>::Success();
}

} // namespace tonalyx
