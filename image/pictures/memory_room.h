// How much memory opening a picture in the window holds, and the rule that a picture is
// refused before it is decoded when it does not fit (the memory left: memory_left.h).
#pragma once

#include "memory_left.h"
#include "outcome.h"

#include <cstdint>
#include <optional>

namespace tonalyx {

// What opening a picture of width × height holds, in bytes, counted as the cache counts an
// entry: its 24-bit rows (each padded to 4 bytes), the 32-bit copy reduced to previewSide
// that the view shows (none when the picture is no larger), and its counts.
std::int64_t OpenBytes(int width, int height, int previewSide);

// The room a picture is opened in.
struct TRoom {
    std::uint64_t MemoryLeft = 0; // see MemoryLeftBytes
    // For a picture that is to be cached: the bytes the cache may give it (its bound, or what
    // is left of it for a neighbour prepared beside it); nothing for one that is not cached.
    std::optional<std::int64_t> CacheRoom;
};

// Why a picture of width × height, reduced to previewSide for the view, cannot be opened in
// room (a plain reason, with the byte counts as its detail); nothing when it fits. Decided from
// the file's header, before any of the picture is decoded. decoderBytes, what the decoder
// holds while it decodes (see TAdmission), must fit in the memory left too, not in the cache.
std::optional<TFailure> WhyNotFits(int width, int height, int previewSide, const TRoom& room,
                                   std::int64_t decoderBytes = 0);

// Why the preview of a width × height picture, which holds `bytes` while it is made (its own
// and the decoder's), is refused: more than memoryLeft, or more than a preview may take, a
// quarter of what the program keeps for pictures (cacheBound, the image cache's bound), as a
// preview is a glance at a file, not an open. Nothing when it fits.
std::optional<TFailure> WhyPreviewNotFits(int width, int height, std::int64_t bytes,
                                          std::uint64_t memoryLeft, std::int64_t cacheBound);

} // namespace tonalyx
