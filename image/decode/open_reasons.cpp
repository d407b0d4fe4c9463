#include "open_reasons.h"

#include "decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace tonalyx {

namespace {

std::string Size(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + " \u00D7 " + std::to_string(height) + " pixels";
}

// "Its W × H pixels need NEED of memory" and the amount it is set against, read alike.
std::pair<std::string, std::string> Need(std::int64_t width, std::int64_t height, std::int64_t need,
                                         std::int64_t other) {
    TAmounts amounts = AmountsAlike(need, other);
    return {"Its " + Size(width, height) + " need " + amounts.First + " of memory",
            std::move(amounts.Second)};
}

// n in units of 10^-decimals, as text: 1234 with 2 decimals is "12.34".
std::string WithDecimals(std::int64_t n, int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    std::string text = std::to_string(n / scale);
    if (decimals > 0) {
        const std::string fraction = std::to_string(n % scale);
        text +=
            '.' + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
    }
    return text;
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

TFailure NotPictureOf(const char* format, std::string detail) {
    const bool vowel = std::string_view("AEIOU").find(format[0]) != std::string_view::npos;
    return {std::string(vowel ? "This file is not an " : "This file is not a ") + format +
                " picture",
            std::move(detail)};
}

TFailure NotJpegPicture(std::string detail) {
    return NotPictureOf("JPEG", std::move(detail));
}

TFailure NotBmpPicture(std::string detail) {
    return NotPictureOf("BMP", std::move(detail));
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

TAmounts AmountsAlike(std::int64_t first, std::int64_t second) {
    first = std::max<std::int64_t>(first, 0);
    second = std::max<std::int64_t>(second, 0);
    const bool giga = std::min(first, second) >= 1'000'000'000;
    const char* const unit = giga ? " GB" : " MB";
    const int least = giga ? 1 : 0, most = least + 2;
    const std::int64_t larger = std::max(first, second), smaller = std::min(first, second);
    for (int decimals = least;; ++decimals) {
        std::int64_t step = giga ? 1'000'000'000 : 1'000'000; // bytes of the last digit
        for (int i = 0; i < decimals; ++i)
            step /= 10;
        const auto nearest = [step](std::int64_t bytes) { return (bytes + step / 2) / step; };
        std::int64_t high = nearest(larger), low = nearest(smaller);
        const bool readSame = high == low && larger != smaller;
        const bool smallReadsNothing = low == 0 && smaller != 0;
        if ((readSame || smallReadsNothing) && decimals < most)
            continue;
        if (readSame) { // the most decimals and still alike: round them apart
            high = (larger + step - 1) / step;
            low = smaller / step;
        }
        std::string highText = WithDecimals(high, decimals) + unit;
        std::string lowText = WithDecimals(low, decimals) + unit;
        return first >= second ? TAmounts{std::move(highText), std::move(lowText)}
                               : TAmounts{std::move(lowText), std::move(highText)};
    }
}

TFailure PictureOverMemoryLeft(std::int64_t width, std::int64_t height, std::int64_t need,
                               std::uint64_t left) {
    const auto [needs, free] = Need(width, height, need,
                                    static_cast<std::int64_t>(std::min<std::uint64_t>(
                                        left, std::numeric_limits<std::int64_t>::max())));
    return {needs + ", and only " + free + " is free",
            Size(width, height) + ": needs " + std::to_string(need) + " bytes, " +
                std::to_string(left) + " bytes available"};
}

TFailure PictureOverPictureMemory(std::int64_t width, std::int64_t height, std::int64_t need,
                                  std::int64_t bound) {
    const auto [needs, kept] = Need(width, height, need, bound);
    return {needs + ", more than the " + kept + " kept for pictures",
            Size(width, height) + ": needs " + std::to_string(need) + " bytes, the image cache " +
                "holds at most " + std::to_string(bound)};
}

TFailure PreviewOverPreviewMemory(std::int64_t width, std::int64_t height, std::int64_t need,
                                  std::int64_t bound) {
    const auto [needs, most] = Need(width, height, need, bound);
    return {needs + " to preview, more than the " + most + " a preview may take",
            Size(width, height) + ": the preview needs " + std::to_string(need) +
                " bytes, at most " + std::to_string(bound)};
}

TFailure DecodingCancelled() {
    return {"The decoding was cancelled", {}};
}

} // namespace tonalyx
