#include "platform/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace md {
namespace {

namespace fs = std::filesystem;

// A scratch folder that is the working directory while the test runs.
class DataFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        root_ =
            fs::path(::testing::TempDir()) /
            ("data_files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "work");
        fs::create_directories(root_ / "beside");
        fs::create_directories(root_ / "installed");
        fs::current_path(root_ / "work");
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(root_);
    }
    static void touch(const fs::path& path) { std::ofstream(path) << "x"; }
    std::vector<std::string> folders() const {
        return {"", (root_ / "beside").string(), (root_ / "installed").string()};
    }

    fs::path previous_;
    fs::path root_;
};

TEST_F(DataFiles, WorkingDirectoryComesFirstThenBesideThenInstalled) {
    touch(root_ / "installed" / "a.ttf");
    EXPECT_EQ(findDataFileIn("a.ttf", folders()), (root_ / "installed" / "a.ttf").string());
    touch(root_ / "beside" / "a.ttf");
    EXPECT_EQ(findDataFileIn("a.ttf", folders()), (root_ / "beside" / "a.ttf").string());
    touch(root_ / "work" / "a.ttf");
    EXPECT_EQ(findDataFileIn("a.ttf", folders()), "a.ttf");
}

TEST_F(DataFiles, MissingFilesAndFoldersAreNotFound) {
    fs::create_directories(root_ / "beside" / "b.ttf"); // a folder of that name is not the file
    EXPECT_EQ(findDataFileIn("b.ttf", folders()), "");
    EXPECT_EQ(findDataFileIn("", folders()), "");
    EXPECT_EQ(findDataFileIn("b.ttf", {}), "");
}

TEST_F(DataFiles, ProgramLooksBesideItsExecutableAndInItsDataFolder) {
    auto searched = dataFileFolders();
    ASSERT_EQ(searched.size(), 4u);
    EXPECT_EQ(searched[0], "");
    EXPECT_TRUE(fs::equivalent(searched[1], MD_BINARY_DIR "/bin")) << searched[1];
    EXPECT_EQ(fs::path(searched[2]), (fs::path(MD_BINARY_DIR) / "share" / "musicdisk").lexically_normal())
        << "relative to the executable";
    EXPECT_NE(searched[3].find("musicdisk"), std::string::npos) << searched[3];
    // The build puts the fonts beside the executables, so they are found from anywhere.
    EXPECT_TRUE(fs::equivalent(findDataFile("Roboto-Regular.ttf"), MD_BINARY_DIR "/bin/Roboto-Regular.ttf"));
    EXPECT_NE(describeDataFileFolders().find("the working directory"), std::string::npos);
}

} // namespace
} // namespace md
