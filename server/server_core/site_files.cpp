#include "site_files.h"

#include "protocol.h"
#include "safe_files.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace tonalyx {

namespace {

constexpr std::string_view Html = "text/html; charset=utf-8";

constexpr std::array<TSiteFile, 5> Files{{
    {FeedRoute, "Tonalyx-Info/feed.xml", "application/xml"},
    {"/Tonalyx/", "Tonalyx/index.html", Html},
    {"/Lumivar/", "Lumivar/index.html", Html},
    {"/", "index.html", Html},
    {"/Download/", "Download/index.html", Html},
}};

// The default files are installed data of the program, below 1 MiB each.
constexpr std::size_t DefaultFileMaxBytes = 1 << 20;

std::string Replaced(std::string_view text, std::string_view placeholder, std::string_view value) {
    std::string out;
    out.reserve(text.size());
    while (true) {
        const std::size_t at = text.find(placeholder);
        out += text.substr(0, at);
        if (at == std::string_view::npos)
            return out;
        out += value;
        text.remove_prefix(at + placeholder.size());
    }
}

} // namespace

std::span<const TSiteFile> SiteFiles() {
    return Files;
}

const TSiteFile& FeedFile() {
    return Files[0];
}

std::vector<std::string> WriteDefaultSiteFiles(int root, const std::string& defaults,
                                               std::string_view shortVersion) {
    std::vector<std::string> problems;
    TUniqueFd defaultsFolder(::open(defaults.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::string unopened = defaults.empty()         ? "no folder of defaults found"
                                 : defaultsFolder.Valid() ? ""
                                                          : defaults + ": " + std::strerror(errno);
    for (const TSiteFile& file : Files) {
        auto existing = OpenRegularFileAt(root, file.Path);
        if (existing.Ok())
            continue;
        if (!defaultsFolder.Valid()) {
            problems.push_back("no default of " + std::string(file.Path) + " (" + unopened + ")");
            continue;
        }
        auto source = OpenRegularFileAt(defaultsFolder.Get(), file.Path);
        auto content = source.Ok() ? ReadWhole(source.Value().Get(), DefaultFileMaxBytes)
                                   : TResult<std::string>::Failure(source.Reason());
        if (!content.Ok()) {
            problems.push_back(defaults + "/" + std::string(file.Path) + ": " + content.Reason());
            continue;
        }
        const std::size_t slash = file.Path.rfind('/');
        TUniqueFd folder;
        int at = root;
        if (slash != std::string_view::npos) {
            auto opened = OpenFolderAt(root, file.Path.substr(0, slash), true);
            if (!opened.Ok()) {
                problems.push_back(opened.Reason());
                continue;
            }
            folder = std::move(opened.Value());
            at = folder.Get();
        }
        const std::string_view name =
            slash == std::string_view::npos ? file.Path : file.Path.substr(slash + 1);
        const TNewFileOutcome outcome =
            WriteNewFileAt(at, name, Replaced(content.Value(), VersionPlaceholder, shortVersion));
        if (outcome.Kind == TNewFile::Failed)
            problems.push_back(outcome.Reason);
    }
    return problems;
}

std::string WithPublicUrl(std::string_view page, std::string_view publicUrl) {
    return Replaced(page, PublicUrlPlaceholder, publicUrl);
}

} // namespace tonalyx
