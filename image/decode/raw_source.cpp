#include "raw_source.h"

#include "decoder.h"
#include "open_reasons.h"

#include <libraw.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
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

// LibRaw 0.20 writes past its own tables when a TIFF directory's colour filter pattern does
// not fill the repeat stated beside it (a 36-entry pattern without a 6 × 6 repeat). Such a
// file is found here by reading the directories as LibRaw does (the types and counts of the
// entries taken on trust, as it takes them), and refused before LibRaw reads it.
class TCfaCheck {
  public:
    explicit TCfaCheck(TByteSource& bytes) : FBytes(bytes) {}

    std::optional<std::string> Problem() {
        std::uint8_t head[8] = {};
        if (!FBytes.ReadAllAt(0, head, sizeof head))
            return std::nullopt;
        if (std::memcmp(head, "II", 2) == 0)
            FBig = false;
        else if (std::memcmp(head, "MM", 2) == 0)
            FBig = true;
        else
            return std::nullopt; // not a TIFF structure
        std::vector<std::int64_t> pending = {Get(head + 4, 4)};
        for (std::size_t i = 0; i < pending.size() && i < MostDirectories; ++i)
            if (std::optional<std::string> p = Directory(pending[i], pending))
                return p;
        return std::nullopt;
    }

  private:
    static constexpr std::size_t MostDirectories = 64;

    std::uint32_t Get(const std::uint8_t* p, int n) const {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= std::uint32_t{p[FBig ? n - 1 - i : i]} << (8 * i);
        return v;
    }
    // The first two SHORTs of an entry's value, where LibRaw reads them.
    bool Shorts(const std::uint8_t* entry, std::uint16_t out[2]) {
        const std::uint32_t type = Get(entry + 2, 2), count = Get(entry + 4, 4);
        static constexpr int TypeBytes[] = {1, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
        const std::uint64_t bytes = std::uint64_t{count} * (type < 14 ? TypeBytes[type] : 1);
        std::uint8_t value[4];
        if (bytes > 4) {
            if (!FBytes.ReadAllAt(Get(entry + 8, 4), value, sizeof value))
                return false;
        } else {
            std::memcpy(value, entry + 8, 4);
        }
        out[0] = static_cast<std::uint16_t>(Get(value, 2));
        out[1] = static_cast<std::uint16_t>(Get(value + 2, 2));
        return true;
    }
    std::optional<std::string> Directory(std::int64_t at, std::vector<std::int64_t>& pending) {
        std::uint8_t countBytes[2];
        if (at <= 0 || !FBytes.ReadAllAt(at, countBytes, 2))
            return std::nullopt;
        // The entries the file holds: LibRaw reads a table cut short by the file's end too.
        std::vector<std::uint8_t> table(std::size_t{Get(countBytes, 2)} * 12);
        table.resize(FBytes.ReadAt(at + 2, table.data(), table.size()) / 12 * 12);
        const auto entries = static_cast<std::uint32_t>(table.size() / 12);
        std::optional<std::uint32_t> patternCount;
        std::optional<std::array<std::uint16_t, 2>> repeat;
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint8_t* entry = table.data() + std::size_t{i} * 12;
            const std::uint32_t tag = Get(entry, 2);
            if (tag == 0x828e) // CFAPattern
                patternCount = Get(entry + 4, 4);
            else if (tag == 0x828d) { // CFARepeatPatternDim
                std::array<std::uint16_t, 2> dim{};
                repeat = Shorts(entry, dim.data()) ? dim : std::array<std::uint16_t, 2>{};
            } else if (tag == 0x14a) { // SubIFDs: the sensor data's directories
                const std::uint32_t count = std::min<std::uint32_t>(Get(entry + 4, 4), 8);
                std::uint8_t offsets[32];
                if (count == 1)
                    pending.push_back(Get(entry + 8, 4));
                else if (FBytes.ReadAllAt(Get(entry + 8, 4), offsets, 4 * count))
                    for (std::uint32_t k = 0; k < count; ++k)
                        pending.push_back(Get(offsets + 4 * k, 4));
            }
        }
        std::uint8_t next[4];
        if (FBytes.ReadAllAt(at + 2 + std::int64_t(table.size()), next, 4))
            pending.push_back(Get(next, 4));
        if (!patternCount)
            return std::nullopt;
        if (!repeat || std::uint32_t{(*repeat)[0]} * (*repeat)[1] != *patternCount)
            return "a pattern of " + std::to_string(*patternCount) + " colours for a repeat of " +
                   (repeat ? std::to_string((*repeat)[0]) + " × " + std::to_string((*repeat)[1])
                           : std::string("no size"));
        return std::nullopt;
    }

    TByteSource& FBytes;
    bool FBig = false;
};

int Progress(void* data, LibRaw_progress, int, int) {
    return static_cast<TRawStream*>(data)->Cancelled() ? 1 : 0;
}

} // namespace

TRawSource::TRawSource(TByteSource& bytes, TCancelCheck cancelled, TMemoryLeft memoryLeft)
    : FBytes(bytes), FCancelled(std::move(cancelled)), FMemoryLeft(std::move(memoryLeft)) {
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
    // LibRaw 0.20 writes past its own tables on a colour filter pattern that does not fill
    // the repeat it states: such a file is refused before LibRaw reads it.
    if (std::optional<std::string> why = TCfaCheck(FBytes).Problem())
        return BrokenHeader("the sensor's colour filter: " + *why);
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
