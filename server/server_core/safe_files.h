// File access confined to a folder given as an open descriptor: every step of a path is
// opened with O_NOFOLLOW, so a symbolic link inside the data folder never leads outside it,
// and new files appear whole, under their final name, without replacing anything.
#pragma once

#include "result.h"
#include "unique_fd.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tonalyx {

// One path component: not empty, no "/", not "." or "..".
bool IsPlainName(std::string_view name);

// Opens the folder name inside dir, creating it (mode 0755) first when create is set.
TResult<TUniqueFd> OpenFolderAt(int dir, std::string_view name, bool create);

// Opens the regular file at path below dir ("a/b/c", plain names only) for reading.
TResult<TUniqueFd> OpenRegularFileAt(int dir, std::string_view path);

// The whole content of an open regular file, refused when it is over maxBytes.
TResult<std::string> ReadWhole(int fd, std::size_t maxBytes);

enum class TNewFile { Written, Exists, Failed };

struct TNewFileOutcome {
    TNewFile Kind = TNewFile::Failed;
    std::string Reason; // why it failed
};

// Writes bytes as the new file name inside dir (mode 0644): into a hidden temporary file
// first, flushed to disk, then linked under name, which fails when name exists. Of two
// writers of one name at once exactly one gets Written. No temporary file is left behind.
TNewFileOutcome WriteNewFileAt(int dir, std::string_view name, std::string_view bytes);

// Temporary files start with this; a crash may leave some, removed at the next start.
inline constexpr std::string_view TemporaryPrefix = ".incoming-";

// The names in the folder dir, without "." and "..".
std::vector<std::string> NamesInFolderAt(int dir);

// Removes what a crashed WriteNewFileAt may have left in dir.
void RemoveTemporaryFilesAt(int dir);

} // namespace tonalyx
