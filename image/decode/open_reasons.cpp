#include "open_reasons.h"

#include "decoder.h"

#include <cerrno>
#include <cstring>

namespace tonalyx {

namespace {

std::string Size(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " \u00D7 " + std::to_string(height) + " pixels";
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

TFailure DecodingCancelled() {
    return {"The decoding was cancelled", {}};
}

} // namespace tonalyx
