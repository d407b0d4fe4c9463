#include "picture_store.h"

#include "picture_name.h"
#include "safe_files.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tonalyx {

namespace {

// Bytes taken by the well-formed pictures in folder; other files do not count.
std::uint64_t StoredBytes(int folder) {
    std::uint64_t total = 0;
    for (const std::string& name : NamesInFolderAt(folder)) {
        struct stat info {};
        if (IsWellFormedPictureName(name) &&
            ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            total += static_cast<std::uint64_t>(info.st_size);
    }
    return total;
}

} // namespace

TResult<std::unique_ptr<TPictureStore>> TPictureStore::Open(int root, std::uint64_t quotaBytes) {
    auto folder = OpenFolderAt(root, PictureFolder, true);
    if (!folder.Ok())
        return TResult<std::unique_ptr<TPictureStore>>::Failure(folder.Reason());
    RemoveTemporaryFilesAt(folder.Value().Get());
    const std::uint64_t used = StoredBytes(folder.Value().Get());
    return std::unique_ptr<TPictureStore>(
        new TPictureStore(std::move(folder.Value()), quotaBytes, used));
}

TStoreOutcome TPictureStore::Store(std::string_view name, std::string_view bytes) {
    if (!IsWellFormedPictureName(name))
        return {TStored::Failed, "not a well-formed picture name"};
    if (!FQuota.Reserve(bytes.size()))
        return {TStored::OverQuota, {}};
    const TNewFileOutcome written = WriteNewFileAt(FFolder.Get(), name, bytes);
    switch (written.Kind) {
    case TNewFile::Written:
        return {TStored::Stored, {}};
    case TNewFile::Exists:
        FQuota.Release(bytes.size());
        return {TStored::Exists, {}};
    case TNewFile::Failed:
        break;
    }
    FQuota.Release(bytes.size());
    return {TStored::Failed, written.Reason};
}

TResult<TUniqueFd> TPictureStore::OpenPicture(std::string_view name) const {
    if (!IsWellFormedPictureName(name))
        return TResult<TUniqueFd>::Failure("not a well-formed picture name");
    return OpenRegularFileAt(FFolder.Get(), name);
}

} // namespace tonalyx
