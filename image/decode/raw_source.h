// A camera raw file opened with LibRaw over a TByteSource, so a file and the fuzzers' memory
// are read the same way. Small on purpose: it opens, admits the sensor's declared size and
// unpacks; what is read from the unpacked data (the sensor's counts, the embedded preview) is
// the business of its callers. No Qt.
#pragma once

#include "byte_source.h"
#include "memory_left.h"
#include "outcome.h"

#include <functional>
#include <memory>

class LibRaw; // libraw.h: only raw_source.cpp and the readers of the unpacked data include it

namespace tonalyx {

// Asked while LibRaw reads and decodes; true gives up with DecodingCancelled. Any thread.
using TCancelCheck = std::function<bool()>;

class TRawStream;

class TRawSource {
  public:
    // bytes must outlive this object. memoryLeft is the system's when not set (tests set it).
    TRawSource(TByteSource& bytes, TCancelCheck cancelled = {}, TMemoryLeft memoryLeft = {});
    ~TRawSource();
    TRawSource(const TRawSource&) = delete;
    TRawSource& operator=(const TRawSource&) = delete;

    // Reads the file's header: what the camera is and the sensor's declared size, admitted by
    // MaxDecodePixels and the memory left before anything of that size is allocated.
    TOutcome<void> Open();
    // Decodes the sensor's data into LibRaw's raw image (after a successful Open).
    TOutcome<void> Unpack();

    // LibRaw itself, for its data (imgdata) after Open and Unpack.
    LibRaw& Raw() { return *FRaw; }
    const LibRaw& Raw() const { return *FRaw; }
    // The white level of the file, after Unpack: LibRaw's color.maximum, which is the file's
    // own level (a DNG's WhiteLevel, a camera's from LibRaw's tables or its maker notes, some
    // set by the decoder as it unpacks); only LibRaw's development adjusts it afterwards.
    unsigned White() const { return FWhite; }

    // A LibRaw error code of a call on Raw() in plain words (cancelling included).
    TFailure Failure(int code) const;

  private:
    TByteSource& FBytes;
    std::unique_ptr<TRawStream> FStream;
    std::unique_ptr<LibRaw> FRaw; // large (hundreds of KB): on the heap
    TCancelCheck FCancelled;
    TMemoryLeft FMemoryLeft;
    unsigned FWhite = 0;
};

} // namespace tonalyx
