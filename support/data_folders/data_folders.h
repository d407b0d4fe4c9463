// Where the program's read-only data lies: the help pages and the server's default pages and
// feed. The installed tree is found relative to the running executable first, so that a
// tree copied or unpacked elsewhere finds its own data, then in the data folder the build
// was configured to install into. Needs no Qt; any thread.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace tonalyx {

// The path of the running executable (/proc/self/exe); empty when it cannot be read.
std::filesystem::path RunningExecutable();

// The folders, best first, that may hold the data below "tonalyx/<sub>" for executable:
// "../share/tonalyx/<sub>" from its folder (an installed tree, and the build tree, which
// lays its data out the same way), then "<DATADIR>/tonalyx/<sub>" of the build.
std::vector<std::filesystem::path> DataFolderCandidates(const std::filesystem::path& executable,
                                                        std::string_view sub);

// The first of DataFolderCandidates that is a folder; empty when none is.
std::filesystem::path FindDataFolder(const std::filesystem::path& executable, std::string_view sub);

} // namespace tonalyx
