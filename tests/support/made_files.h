// What the format tests share about their files: a folder of source pictures made once by
// the tools, files read and written whole or cut short, and a refused file's expected reason.
#pragma once

#include "outcome.h"
#include "reference_counts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace tonalyx::test {

using TBytes = std::vector<std::uint8_t>;

// A temporary folder with the pictures a format's tests start from, made by make (false
// when a tool failed) as it is created.
class TSourceFolder {
  public:
    explicit TSourceFolder(const std::function<bool(const QDir&)>& make)
        : FFolder(FDir.path()), FMade(make(FFolder)) {}
    const QDir& Folder() const {
        EXPECT_TRUE(FMade) << "the source pictures could not be made";
        return FFolder;
    }

  private:
    QTemporaryDir FDir;
    QDir FFolder;
    bool FMade;
};

inline TBytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const TBytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The file's bytes up to this share of them.
inline TBytes CutShort(const std::string& file, double share) {
    TBytes b = ReadFileBytes(file);
    b.resize(std::size_t(double(b.size()) * share));
    return b;
}

// ImageMagick's own program: /usr/local/bin/convert may be a wrapper.
inline const QString Convert = "/usr/bin/convert";

// The two pictures most variants start from, made in dir: base.png, noise over a gradient
// (16-bit samples), and alpha.png, the same with alpha, 0 in a strip on the left and graded
// elsewhere; 131 × 67, an odd width and five bands of rows. False when a tool failed.
inline bool MakeBaseAndAlpha(const QDir& dir) {
    const QString base = dir.filePath("base.png");
    return !RunTool(Convert, {"-size", "131x67", "gradient:#203040-#f0c080", "-seed", "4",
                              "-attenuate", "0.5", "+noise", "Gaussian", base}) &&
           !RunTool(Convert, {base, "-alpha", "set", "-channel", "A", "-fx", "i<17?0:(j+1)/h",
                              "+channel", dir.filePath("alpha.png")});
}

// A file made to be refused, and the reason it must be refused with.
struct TRefusal {
    const char* Name;
    TBytes (*Make)();
    TFailure Expected;
};

} // namespace tonalyx::test
