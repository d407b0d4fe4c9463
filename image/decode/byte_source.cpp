#include "byte_source.h"

namespace tonalyx {

TOutcome<TDecodeNotes> StreamFileWith(const std::filesystem::path& path, TRowTarget& target,
                                      const TSourceDecoder& decode) {
    TInputFile file(path);
    if (!file.IsOpen())
        return file.Error();
    TFileBytes bytes(file);
    return decode(bytes, target);
}

} // namespace tonalyx
