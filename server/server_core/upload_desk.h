// Decides about one upload: the client's rate, the form's parts, the picture name, the size,
// the PNG decoded whole, then the store. Called from the server's handler threads at once.
#pragma once

#include "picture_store.h"
#include "upload_limits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tonalyx {

struct TUploadReply {
    bool Stored = false;
    std::string Note; // for the log: what was stored where, or why not
};

class TUploadDesk {
  public:
    TUploadDesk(TPictureStore& store, std::uint64_t maxBytes, unsigned perMinute,
                std::string publicUrl)
        : FStore(store), FMaxBytes(maxBytes), FRate(perMinute), FPublicUrl(std::move(publicUrl)) {}

    // name and png are the form's "fname" and "file" parts, nothing when the form lacks them.
    // Every attempt counts against the client's rate, the refused ones too.
    TUploadReply Take(const std::string& clientAddress, TRateLimiter::TClock::time_point now,
                      std::optional<std::string_view> name, std::optional<std::string_view> png);

  private:
    TPictureStore& FStore;
    const std::uint64_t FMaxBytes;
    TRateLimiter FRate;
    const std::string FPublicUrl;
};

} // namespace tonalyx
