// How much memory the system has left for a picture, and the one rule that refuses a decode
// that would hold more than that. The window's opening (memory_room.h) and the tools' counts
// (streamed_count.h) both decide with it.
#pragma once

#include "outcome.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace tonalyx {

// Installed memory in bytes; 0 when the system does not say.
std::uint64_t PhysicalMemoryBytes();
// The memory a program can still take without the system swapping or killing, in bytes: on
// Linux /proc/meminfo's MemAvailable, on Windows the available physical memory, elsewhere
// (or when that cannot be read) the installed memory. Any thread; reads a file on Linux.
std::uint64_t MemoryLeftBytes();
// MemAvailable of a /proc/meminfo text, in bytes; nothing when the text has no such line.
std::optional<std::uint64_t> MemAvailableIn(std::string_view meminfo);
// MemoryLeftBytes or a stand-in for it (tests); called on the decoding threads.
using TMemoryLeft = std::function<std::uint64_t()>;

// Why a width × height picture whose decode holds `bytes` (its rows as the caller keeps them
// and what the decoder holds beside them) is refused in memoryLeft: more than that, with the
// reason PictureOverMemoryLeft gives. Nothing when it fits.
std::optional<TFailure> WhyOverMemoryLeft(int width, int height, std::int64_t bytes,
                                          std::uint64_t memoryLeft);

} // namespace tonalyx
