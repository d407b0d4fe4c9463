// Where the program finds its installed data: relative to the executable first, so that a
// moved or unpacked tree finds its own, then the folder the build was configured for.
#include "data_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace tonalyx;
namespace fs = std::filesystem;

namespace {

class DataFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tonalyx-data-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Root = pattern;
        fs::create_directories(Root / "bin");
    }
    void TearDown() override { fs::remove_all(Root); }
    static void Touch(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }
    fs::path Root;
};

TEST_F(DataFolders, InstalledTreeBesideTheExecutableComesFirst) {
    const auto folders = DataFolderCandidates(Root / "bin/tonalyx-server", "server");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], Root / "share/tonalyx/server");
    EXPECT_EQ(folders[1], fs::path(TONALYX_DATADIR) / "tonalyx/server");
    // Without an executable only the configured folder is left.
    EXPECT_EQ(DataFolderCandidates({}, "server"),
              std::vector<fs::path>{fs::path(TONALYX_DATADIR) / "tonalyx/server"});
}

TEST_F(DataFolders, FoundOnlyWhenItIsAFolder) {
    const fs::path program = Root / "bin/tonalyx-server";
    Touch(Root / "share/tonalyx/server"); // a file of that name is no data folder
    const fs::path found = FindDataFolder(program, "server");
    EXPECT_NE(found, Root / "share/tonalyx/server");
    fs::remove(Root / "share/tonalyx/server");
    fs::create_directories(Root / "share/tonalyx/server");
    EXPECT_EQ(FindDataFolder(program, "server"), Root / "share/tonalyx/server");
}

TEST(DataFoldersOfTheProcess, RunningExecutableIsThisTest) {
    EXPECT_EQ(RunningExecutable().filename(), "test_support_data_folders");
}

} // namespace
