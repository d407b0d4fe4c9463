// Files that are not regular files, named like images: a FIFO, a device behind a symbolic
// link, a folder. Each must fail at once with its reason, through the decoders, the loader
// and the command-line tool. Every attempt runs in a child process that is killed after a
// few seconds, so a decoder that blocks again fails this test instead of hanging the run.
#include "decoder.h"
#include "image_loader.h"

#include "child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tonalyx;
using tonalyx::test::InChild;
using tonalyx::test::TChild;
using tonalyx::test::WriteAll;
namespace fs = std::filesystem;

namespace {

class SpecialFiles : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tonalyx-special-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
        ASSERT_EQ(mkfifo((Dir / "fifo.jpg").c_str(), 0600), 0);
        ASSERT_EQ(mkfifo((Dir / "fifo.bmp").c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", Dir / "z.jpg");
        fs::create_symlink("/dev/null", Dir / "n.bmp");
        fs::create_directory(Dir / "x.jpg");
        fs::create_directory(Dir / "x.bmp");
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
};

struct TCase {
    const char* Name;
    const char* Reason; // a word of the plain reason
};
constexpr TCase Cases[] = {
    {"fifo.jpg", "device"}, {"fifo.bmp", "device"}, {"z.jpg", "device"},
    {"n.bmp", "device"},    {"x.jpg", "folder"},    {"x.bmp", "folder"},
};

} // namespace

TEST_F(SpecialFiles, DecodersRefuseThemAtOnce) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        const fs::path path = Dir / c.Name;
        const bool jpeg = path.extension() == ".jpg";
        const std::function<TDecodeResult()> decoders[] = {
            [&] { return jpeg ? DecodeJpegFile(path) : DecodeBmpFile(path); },
            [&]() -> TDecodeResult {
                TOutcome<TLoadedImage> loaded = DecodeAndCount(path);
                if (!loaded.Ok())
                    return loaded.Error();
                return std::move(loaded->Image);
            },
        };
        for (const auto& decode : decoders) {
            const std::optional<TChild> child = InChild([&](int fd) {
                const TDecodeResult r = decode();
                WriteAll(fd, r.Ok() ? "decoded" : r.Reason());
            });
            ASSERT_TRUE(child) << "still decoding after 5 s";
            EXPECT_NE(child->Output.find(c.Reason), std::string::npos) << child->Output;
        }
    }
}

TEST_F(SpecialFiles, TheToolReportsThemAndExitsWithOne) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = (Dir / c.Name).string();
        const std::optional<TChild> child = InChild([&](int fd) {
            dup2(fd, STDERR_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            execl(TONALYX_CLI, TONALYX_CLI, "counts", path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        });
        ASSERT_TRUE(child) << "still running after 5 s";
        EXPECT_EQ(child->Status, 1);
        const std::string start = "tonalyx-cli: " + path + ": ";
        EXPECT_EQ(child->Output.substr(0, start.size()), start);
        EXPECT_NE(child->Output.find(c.Reason, start.size()), std::string::npos) << child->Output;
        EXPECT_EQ(std::count(child->Output.begin(), child->Output.end(), '\n'), 1);
    }
}
