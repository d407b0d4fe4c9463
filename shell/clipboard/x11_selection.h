// The X11 clipboard read over a connection of its own, so that an owner that never answers,
// or answers a little at a time, holds up only the thread that asked, and only until the
// time-outs. Worker threads; no Qt.
#pragma once

#include "outcome.h"

#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

namespace tonalyx {

struct TSelectionRequest {
    std::string Display; // as in $DISPLAY; empty: $DISPLAY itself
    // How long the owner may stay silent: before its answer, and between the pieces of a
    // long one.
    std::chrono::milliseconds Timeout{2000};
    // How long the whole exchange may take, from the question to the last piece: an owner
    // that sends a little now and then is given up too. A local owner sends 100 megapixels
    // uncompressed (400 MB) in pieces of 64 KB in about 7 s on a busy machine.
    std::chrono::milliseconds Whole{30000};
    std::size_t MaxBytes = std::size_t(512) << 20; // a larger answer is refused
};

struct TSelectionData {
    std::string Format; // the target it came as ("image/png")
    std::vector<char> Bytes;
};

// The names of the formats the clipboard's owner offers; none when no program owns it.
// Fails when the display cannot be reached, the owner does not answer in time or the
// token is stopped (seen within 50 ms).
TOutcome<std::vector<std::string>> AskClipboardFormats(const TSelectionRequest& request,
                                                       std::stop_token stop);

// The clipboard's data in the first of the wanted formats that its owner offers. Fails as
// above, and when none of them is offered or the owner refuses it.
TOutcome<TSelectionData> FetchClipboard(const TSelectionRequest& request,
                                        const std::vector<std::string>& wanted,
                                        std::stop_token stop);

// The plain reasons of the failures above, for the callers that tell them apart.
inline constexpr const char* OwnerSilentReason =
    "The program holding the clipboard does not answer";
inline constexpr const char* OwnerSlowReason =
    "The program holding the clipboard takes too long to answer";
inline constexpr const char* NoPictureReason = "The clipboard holds no picture";

} // namespace tonalyx
