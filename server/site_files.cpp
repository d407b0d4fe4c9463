#include "server/site_files.h"

#include "server/feed.h"
#include "server/safe_files.h"

#include <array>

namespace tonalyx {

namespace {

constexpr std::string_view Html = "text/html; charset=utf-8";

constexpr std::array<TSiteFile, 5> Files{{
    {"/Tonalyx-Info/", "Tonalyx-Info/feed.xml", "application/xml"},
    {"/Tonalyx/", "Tonalyx/index.html", Html},
    {"/Lumivar/", "Lumivar/index.html", Html},
    {"/", "index.html", Html},
    {"/Download/", "Download/index.html", Html},
}};

std::string Page(std::string_view title, std::string_view body) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>";
    page += title;
    page += "</title>\n</head>\n<body>\n<h1>";
    page += title;
    page += "</h1>\n";
    page += body;
    page += "<p><a href=\"@PUBLIC_URL@\">Varnel Solutions</a> · "
            "<a href=\"@PUBLIC_URL@Tonalyx/\">Tonalyx</a> · "
            "<a href=\"@PUBLIC_URL@Lumivar/\">Lumivar</a> · "
            "<a href=\"@PUBLIC_URL@Download/\">Download</a></p>\n</body>\n</html>\n";
    return page;
}

std::string DefaultContent(const TSiteFile& file, std::string_view shortVersion) {
    const std::string_view path = file.Path;
    if (path == FeedFile().Path)
        return DefaultFeed(shortVersion);
    if (path == "Tonalyx/index.html")
        return Page("Tonalyx",
                    "<p>Tonalyx shows the histograms of a photograph: RGB, HSV and CIE L*a*b*, "
                    "side by side with the picture.</p>\n");
    if (path == "Lumivar/index.html")
        return Page("Lumivar", "<p>Lumivar, from the makers of Tonalyx.</p>\n");
    if (path == "Download/index.html")
        return Page("Download",
                    "<p>The latest version of Tonalyx is " + std::string(shortVersion) + ".</p>\n");
    return Page("Varnel Solutions", "<p>Products and news from Varnel Solutions.</p>\n");
}

} // namespace

std::span<const TSiteFile> SiteFiles() {
    return Files;
}

const TSiteFile& FeedFile() {
    return Files[0];
}

std::vector<std::string> WriteDefaultSiteFiles(int root, std::string_view shortVersion) {
    std::vector<std::string> problems;
    for (const TSiteFile& file : Files) {
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
            WriteNewFileAt(at, name, DefaultContent(file, shortVersion));
        if (outcome.Kind == TNewFile::Failed)
            problems.push_back(outcome.Reason);
    }
    return problems;
}

std::string WithPublicUrl(std::string_view page, std::string_view publicUrl) {
    std::string out;
    out.reserve(page.size());
    while (true) {
        const std::size_t at = page.find(PublicUrlPlaceholder);
        out += page.substr(0, at);
        if (at == std::string_view::npos)
            return out;
        out += publicUrl;
        page.remove_prefix(at + PublicUrlPlaceholder.size());
    }
}

} // namespace tonalyx
