// Opening an image file for the decoders: only a regular file is read. A FIFO, a device or
// a socket named like an image would block the decoder for ever or feed it endless bytes,
// so it is refused at once, as is a folder.
#pragma once

#include "outcome.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace tonalyx {

class TInputFile {
  public:
    // Opens path (UTF-8 on every system) without blocking. On failure the file is not
    // open and Error() says why, in plain words with the system's own as the detail.
    explicit TInputFile(const std::filesystem::path& path);
    ~TInputFile();
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    const TFailure& Error() const { return FError; }
    std::int64_t Size() const { return FSize; } // in bytes, as when it was opened

    // Reads up to n bytes from the current position onwards; fewer only at the end of the
    // file or on a read error, 0 there.
    std::size_t Read(void* dst, std::size_t n);
    // The same at an absolute position, leaving the current one alone.
    std::size_t ReadAt(std::int64_t pos, void* dst, std::size_t n);

  private:
    int FFd = -1;
    std::int64_t FSize = 0;
    TFailure FError;
};

} // namespace tonalyx
