#include "image_format.h"

namespace tonalyx {

std::string_view ImageExtension(std::string_view path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\:");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::optional<TFType> ImageTypeOf(std::string_view path) {
    const std::string_view ext = ImageExtension(path);
    for (const TAcceptedExt& a : AcceptedExts) {
        const std::string_view want = a.Ext;
        if (ext.size() != want.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < ext.size() && same; ++i) {
            const char c = ext[i] >= 'A' && ext[i] <= 'Z' ? static_cast<char>(ext[i] + 32) : ext[i];
            same = c == want[i];
        }
        if (same)
            return a.Type;
    }
    return std::nullopt;
}

} // namespace tonalyx
