// The uploaded pictures: ROOT/0001/NAME, written once and never replaced, within a quota of
// bytes for all of them together. Safe to use from several handler threads at once.
#pragma once

#include "result.h"
#include "unique_fd.h"
#include "upload_limits.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tonalyx {

enum class TStored { Stored, Exists, OverQuota, Failed };

struct TStoreOutcome {
    TStored Kind = TStored::Failed;
    std::string Reason; // for Failed
};

class TPictureStore {
  public:
    // Opens (creating) the picture folder inside the data folder root, removes temporary
    // files a crash left there and counts the pictures already stored against quotaBytes.
    static TResult<std::unique_ptr<TPictureStore>> Open(int root, std::uint64_t quotaBytes);

    // Stores bytes as picture name (a well-formed picture name) unless one of that name
    // exists or the quota would be exceeded.
    TStoreOutcome Store(std::string_view name, std::string_view bytes);

    // The stored picture name, opened for reading; fails for names that are not well-formed.
    TResult<TUniqueFd> OpenPicture(std::string_view name) const;

    std::uint64_t UsedBytes() const { return FQuota.Used(); }

  private:
    TPictureStore(TUniqueFd folder, std::uint64_t quotaBytes, std::uint64_t usedBytes)
        : FFolder(std::move(folder)), FQuota(quotaBytes, usedBytes) {}

    const TUniqueFd FFolder;
    TByteQuota FQuota;
};

} // namespace tonalyx
