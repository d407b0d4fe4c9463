// The parts of a multipart/form-data body, the form an upload comes in: looked at where they
// lie in the body, never copied, one level deep (a part is never read as a form itself).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tonalyx {

// Parts by their names; of two parts of one name the first counts.
using TFormParts = std::map<std::string, std::string_view, std::less<>>;

// The parts of body, whose Content-Type header is contentType; nothing when that is not
// multipart/form-data with a boundary or the body is not a well-formed form.
std::optional<TFormParts> ReadFormData(std::string_view contentType, std::string_view body);

} // namespace tonalyx
