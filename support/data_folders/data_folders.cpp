#include "data_folders.h"

#include <system_error>

namespace tonalyx {

namespace fs = std::filesystem;

fs::path RunningExecutable() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
}

std::vector<fs::path> DataFolderCandidates(const fs::path& executable, std::string_view sub) {
    std::vector<fs::path> folders;
    if (!executable.empty())
        folders.push_back(
            (executable.parent_path() / ".." / "share" / "tonalyx" / sub).lexically_normal());
    const fs::path configured = fs::path(TONALYX_DATADIR) / "tonalyx" / sub;
    if (folders.empty() || configured.lexically_normal() != folders.front())
        folders.push_back(configured.lexically_normal());
    return folders;
}

fs::path FindDataFolder(const fs::path& executable, std::string_view sub) {
    for (const fs::path& folder : DataFolderCandidates(executable, sub)) {
        std::error_code error;
        if (fs::is_directory(folder, error))
            return folder;
    }
    return {};
}

} // namespace tonalyx
