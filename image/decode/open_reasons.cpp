#include "open_reasons.h"

#include "decoder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tonalyx {

namespace {

std::string Size(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " \u00D7 " + std::to_string(height) + " pixels";
}

// An amount of memory as a photographer reads it: "1.2 GB", "350 MB". When `other`, the
// amount it is set against, would read the same, one more digit tells them apart.
std::string Amount(double bytes, double other = -1) {
    const auto format = [](double b, int digits) {
        char text[32];
        if (b >= 1e9)
            std::snprintf(text, sizeof text, "%.*f GB", digits, b / 1e9);
        else
            std::snprintf(text, sizeof text, "%.*f MB", digits - 1 < 0 ? 0 : digits - 1, b / 1e6);
        return std::string(text);
    };
    std::string text = format(bytes, 1);
    if (other >= 0 && format(other, 1) == text)
        text = format(bytes, 2);
    return text;
}

std::string Need(std::int64_t width, std::int64_t height, std::int64_t need) {
    return "Its " + std::to_string(width) + " \u00D7 " + std::to_string(height) + " pixels need " +
           Amount(static_cast<double>(need)) + " of memory";
}

} // namespace

TFailure FileNotOpened(int errorNumber) {
    std::string detail = std::strerror(errorNumber);
    detail += " (errno " + std::to_string(errorNumber) + ")";
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
        return {"The file does not exist (it may have been moved or deleted)", detail};
    case EACCES:
    case EPERM:
        return {"You have no permission to read this file", detail};
    case ENAMETOOLONG:
    case ELOOP:
        return {"The file's name or place cannot be followed", detail};
    default:
        return {"The file cannot be read", detail};
    }
}

TFailure FolderNotPicture() {
    return {"This is a folder, not a picture file", "is a folder"};
}

TFailure SpecialNotPicture() {
    return {"This is not a picture file but a device or a pipe", "not a regular file"};
}

TFailure EmptyFile() {
    return {"The file is empty", {}};
}

TFailure NotJpegPicture(std::string detail) {
    return {"This file is not a JPEG picture", std::move(detail)};
}

TFailure NotBmpPicture(std::string detail) {
    return {"This file is not a BMP picture", std::move(detail)};
}

TFailure FileEndsEarly(std::string detail) {
    return {"The file ends early: the picture in it is incomplete", std::move(detail)};
}

TFailure BrokenHeader(std::string detail) {
    return {"The file is damaged: its start cannot be read", std::move(detail)};
}

TFailure BrokenPictureData(std::string detail) {
    return {"The picture is damaged: its data cannot be decoded", std::move(detail)};
}

TFailure UnsupportedKind(const char* format, std::string detail) {
    return {std::string("This kind of ") + format + " picture cannot be opened", std::move(detail)};
}

TFailure PictureTooLarge(std::int64_t width, std::int64_t height) {
    return {"The picture is larger than " + std::to_string(MaxDecodePixels / 1'000'000) +
                " megapixels",
            Size(width, height)};
}

TFailure SideTooLong(std::string detail) {
    return {"The picture is too wide or too tall to open", std::move(detail)};
}

TFailure NotEnoughMemory(std::int64_t width, std::int64_t height) {
    return {"There is not enough memory to open a picture this large", Size(width, height)};
}

TFailure PictureOverMemoryLeft(std::int64_t width, std::int64_t height, std::int64_t need,
                               std::uint64_t left) {
    return {Need(width, height, need) + ", and only " +
                Amount(static_cast<double>(left), static_cast<double>(need)) + " is free",
            Size(width, height) + ": needs " + std::to_string(need) + " bytes, " +
                std::to_string(left) + " bytes available"};
}

TFailure PictureOverPictureMemory(std::int64_t width, std::int64_t height, std::int64_t need,
                                  std::int64_t bound) {
    return {Need(width, height, need) + ", more than the " +
                Amount(static_cast<double>(bound), static_cast<double>(need)) +
                " kept for pictures",
            Size(width, height) + ": needs " + std::to_string(need) + " bytes, the image cache " +
                "holds at most " + std::to_string(bound)};
}

TFailure PreviewOverPreviewMemory(std::int64_t width, std::int64_t height, std::int64_t need,
                                  std::int64_t bound) {
    return {Need(width, height, need) + " to preview, more than the " +
                Amount(static_cast<double>(bound), static_cast<double>(need)) +
                " a preview may take",
            Size(width, height) + ": the preview needs " + std::to_string(need) +
                " bytes, at most " + std::to_string(bound)};
}

TFailure DecodingCancelled() {
    return {"The decoding was cancelled", {}};
}

} // namespace tonalyx
