// The files of the data folder that the maker edits: the feed and the web pages the
// desktop program links to. Defaults are copied on first start and never overwritten.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tonalyx {

struct TSiteFile {
    std::string_view Route; // the address path it is served at
    std::string_view Path;  // below the data folder
    std::string_view ContentType;
};

// The feed, then the product, sibling product, company and download pages.
std::span<const TSiteFile> SiteFiles();
const TSiteFile& FeedFile();

// Pages may write this where the server's public address (ending in "/") belongs; it is
// replaced when the page is served. The feed is served as it is.
inline constexpr std::string_view PublicUrlPlaceholder = "@PUBLIC_URL@";

// The default files may write this where the server's version (major.minor.release) belongs;
// it is replaced when they are copied into the data folder.
inline constexpr std::string_view VersionPlaceholder = "@VERSION@";

// Copies the default of every site file that is missing below the data folder root from the
// folder defaults (installed with the program, laid out as the data folder is), with the
// version placeholder replaced by shortVersion. Returns why some could not be written; those
// are not served until the maker puts them there.
std::vector<std::string> WriteDefaultSiteFiles(int root, const std::string& defaults,
                                               std::string_view shortVersion);

// A page's text with every placeholder replaced by publicUrl.
std::string WithPublicUrl(std::string_view page, std::string_view publicUrl);

} // namespace tonalyx
