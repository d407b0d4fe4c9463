#include "picture.h"

#include <system_error>

namespace tonalyx {

TFileStamp StampOf(const std::filesystem::path& file) {
    std::error_code error;
    TFileStamp stamp;
    stamp.Size = std::filesystem::file_size(file, error);
    if (error)
        return {};
    stamp.Modified = std::filesystem::last_write_time(file, error);
    stamp.Valid = !error;
    return stamp;
}

} // namespace tonalyx
