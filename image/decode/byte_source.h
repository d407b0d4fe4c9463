// A file's bytes as the decoders read them, at absolute positions: an open file or a block
// of memory (the fuzzers', and the tests'). Every decoder of the format table reads through
// one, so each can be handed either.
#pragma once

#include "decoder.h"
#include "input_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>

namespace tonalyx {

class TByteSource {
  public:
    virtual ~TByteSource() = default;
    virtual std::int64_t Size() const = 0;
    // Copies up to n bytes at pos into dst; returns how many it copied (0 past the end).
    virtual std::size_t ReadAt(std::int64_t pos, void* dst, std::size_t n) = 0;

    bool ReadAllAt(std::int64_t pos, void* dst, std::size_t n) { return ReadAt(pos, dst, n) == n; }
};

class TMemoryBytes final : public TByteSource {
  public:
    TMemoryBytes(const std::uint8_t* data, std::size_t size)
        : FData(data), FSize(data ? size : 0) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(FSize); }
    std::size_t ReadAt(std::int64_t pos, void* dst, std::size_t n) override {
        if (n == 0 || pos < 0 || static_cast<std::uint64_t>(pos) >= FSize)
            return 0;
        n = std::min<std::size_t>(n, FSize - static_cast<std::size_t>(pos));
        std::memcpy(dst, FData + pos, n);
        return n;
    }

  private:
    const std::uint8_t* FData;
    std::size_t FSize;
};

class TFileBytes final : public TByteSource {
  public:
    explicit TFileBytes(TInputFile& file) : FFile(file) {}
    std::int64_t Size() const override { return FFile.Size(); }
    std::size_t ReadAt(std::int64_t pos, void* dst, std::size_t n) override {
        if (n == 0 || pos < 0 || pos >= FFile.Size())
            return 0;
        return FFile.ReadAt(pos, dst, n);
    }

  private:
    TInputFile& FFile;
};

// A decoder of the format table over a byte source.
using TSourceDecoder = std::function<TOutcome<TDecodeNotes>(TByteSource&, TRowTarget&)>;

// path opened as a regular file (TInputFile) and decoded by decode; the opening's failure
// when it cannot be read.
TOutcome<TDecodeNotes> StreamFileWith(const std::filesystem::path& path, TRowTarget& target,
                                      const TSourceDecoder& decode);

} // namespace tonalyx
