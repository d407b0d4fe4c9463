#include "form_data.h"

#include <algorithm>
#include <cctype>

namespace tonalyx {

namespace {

// A form of the program has two parts; more than this is no form of ours.
constexpr std::size_t MaxParts = 16;
constexpr std::size_t MaxBoundary = 70; // as the form's standard allows
constexpr std::size_t MaxPartHeaders = 8 * 1024;

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The parameter name of a header value of the form "type; a=b; name="c"", unquoted; nothing
// when absent or malformed. The type before the first ';' must be wantedType.
std::optional<std::string> Parameter(std::string_view value, std::string_view wantedType,
                                     std::string_view wanted) {
    const std::size_t semicolon = value.find(';');
    if (!SameLetters(Trimmed(value.substr(0, semicolon)), wantedType))
        return std::nullopt;
    if (semicolon == std::string_view::npos)
        return std::nullopt;
    value.remove_prefix(semicolon + 1);
    while (true) {
        value = Trimmed(value);
        const std::size_t equals = value.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = Trimmed(value.substr(0, equals));
        value.remove_prefix(equals + 1);
        std::string text;
        if (!value.empty() && value.front() == '"') {
            std::size_t i = 1;
            for (; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size())
                    ++i;
                text += value[i];
            }
            if (i == value.size())
                return std::nullopt; // the quote is never closed
            value.remove_prefix(i + 1);
            value = Trimmed(value);
            if (!value.empty() && value.front() != ';')
                return std::nullopt;
        } else {
            const std::size_t end = value.find(';');
            text = Trimmed(value.substr(0, end));
            value.remove_prefix(end == std::string_view::npos ? value.size() : end);
        }
        if (SameLetters(name, wanted))
            return text;
        if (value.empty())
            return std::nullopt;
        value.remove_prefix(1); // the ';'
    }
}

// The name given by a part's headers (the lines before the blank line), or nothing.
std::optional<std::string> PartName(std::string_view headers) {
    while (!headers.empty()) {
        const std::size_t end = headers.find("\r\n");
        const std::string_view line = headers.substr(0, end);
        headers.remove_prefix(end == std::string_view::npos ? headers.size() : end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        if (SameLetters(Trimmed(line.substr(0, colon)), "Content-Disposition"))
            return Parameter(line.substr(colon + 1), "form-data", "name");
    }
    return std::nullopt;
}

} // namespace

std::optional<TFormParts> ReadFormData(std::string_view contentType, std::string_view body) {
    const auto boundary = Parameter(contentType, "multipart/form-data", "boundary");
    if (!boundary || boundary->empty() || boundary->size() > MaxBoundary)
        return std::nullopt;
    const std::string delimiter = "\r\n--" + *boundary;
    // The first delimiter may open the body, without the line break before it.
    std::size_t at = 0;
    if (body.starts_with(std::string_view(delimiter).substr(2))) {
        at = delimiter.size() - 2;
    } else {
        at = body.find(delimiter);
        if (at == std::string_view::npos)
            return std::nullopt;
        at += delimiter.size();
    }
    TFormParts parts;
    for (std::size_t count = 0;; ++count) {
        // After a delimiter: "--" ends the form, a line break opens a part.
        if (body.substr(at, 2) == "--")
            return parts;
        if (count == MaxParts || body.substr(at, 2) != "\r\n")
            return std::nullopt;
        // A part without header lines has no name either.
        const std::size_t headersEnd = body.find("\r\n\r\n", at);
        at += 2;
        if (headersEnd == std::string_view::npos || headersEnd < at ||
            headersEnd - at > MaxPartHeaders)
            return std::nullopt;
        const std::optional<std::string> name = PartName(body.substr(at, headersEnd - at));
        const std::size_t contentBegin = headersEnd + 4;
        const std::size_t next = body.find(delimiter, contentBegin);
        if (!name || next == std::string_view::npos)
            return std::nullopt;
        parts.try_emplace(*name, body.substr(contentBegin, next - contentBegin));
        at = next + delimiter.size();
    }
}

} // namespace tonalyx
