// What the program and tonalyx-server say to each other. The program sends the requests and
// reads the answers and the feed; the server routes the requests and writes the answers, so
// both link this one Qt-free definition and a change to the wire is made once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tonalyx {

// The routes: the address paths below the server's root. The server matches them whole; the
// program appends them, without their leading "/", to its root, which ends in "/".
inline constexpr std::string_view CheckRoute = "/check.php";
inline constexpr std::string_view UploadRoute = "/upload.php";
inline constexpr std::string_view FeedRoute = "/Tonalyx-Info/";

// root + route, for a root that ends in "/".
inline std::string RouteUrl(std::string_view root, std::string_view route) {
    return std::string(root) + std::string(route.substr(1));
}

// The whole body of the check's and the upload's answer: the request was taken, or not.
// The program reads any other body as a refusal too.
inline constexpr std::string_view AcceptedAnswer = "0";
inline constexpr std::string_view RefusedAnswer = "1";

// The upload's multipart form: the PNG and the picture's name.
inline constexpr std::string_view UploadPicturePart = "file";
inline constexpr std::string_view UploadNamePart = "fname";

// The program reads the first 2000 bytes of the feed and drops a longer document.
inline constexpr std::size_t FeedMaxBytes = 2000;

// The feed's elements, each the first child of that name of the one above it; the root's
// own name is not looked at, and a missing element reads as empty.
//   root
//     Tonalyx: LastVersion, URL (FOLLOW and TELL, each FB, GP, TW)
//     LastNews: Date (YYYY-MM-DD), Text, Link
inline constexpr std::string_view FeedProduct = "Tonalyx";
inline constexpr std::string_view FeedLastVersion = "LastVersion";
inline constexpr std::string_view FeedUrls = "URL";
inline constexpr std::string_view FeedFollowUrls = "FOLLOW";
inline constexpr std::string_view FeedTellUrls = "TELL";
inline constexpr std::string_view FeedFacebook = "FB";
inline constexpr std::string_view FeedGooglePlus = "GP";
inline constexpr std::string_view FeedTwitter = "TW";
inline constexpr std::string_view FeedNews = "LastNews";
inline constexpr std::string_view FeedNewsDate = "Date";
inline constexpr std::string_view FeedNewsText = "Text";
inline constexpr std::string_view FeedNewsLink = "Link";

} // namespace tonalyx
