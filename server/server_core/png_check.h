// Whether uploaded bytes are a PNG image: the signature and a sound IHDR chunk first.
// The rest of the file is not decoded; the server only stores and serves it.
#pragma once

#include <string>
#include <string_view>

namespace tonalyx {

// Empty when bytes start like a PNG image, otherwise why not.
std::string PngProblem(std::string_view bytes);

} // namespace tonalyx
