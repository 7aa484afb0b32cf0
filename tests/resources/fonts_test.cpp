#include "player/fonts.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace md {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> logLines;
void SDLCALL collect(void*, int, SDL_LogPriority, const char* message) {
    logLines.emplace_back(message);
}

// Runs each test in an empty working directory with the font library up and the log captured.
class Fonts : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        work_ = fs::path(::testing::TempDir()) /
                ("fonts_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(work_);
        fs::create_directories(work_);
        fs::current_path(work_);
        ASSERT_EQ(TTF_Init(), 0);
        logLines.clear();
        SDL_LogSetOutputFunction(collect, nullptr);
    }
    void TearDown() override {
        SDL_LogSetOutputFunction(nullptr, nullptr);
        TTF_Quit();
        fs::current_path(previous_);
        fs::remove_all(work_);
    }
    fs::path previous_;
    fs::path work_;
};

TEST_F(Fonts, BothFontsAreFoundBesideTheExecutable) {
    EXPECT_TRUE(checkFonts());
    for (const char* name : {kTitleFontFile, kInfoFontFile}) {
        TTF_Font* font = openFont(name, 27);
        ASSERT_NE(font, nullptr) << name;
        EXPECT_GT(TTF_FontHeight(font), 20) << name;
        TTF_CloseFont(font);
    }
    EXPECT_TRUE(logLines.empty());
}

TEST_F(Fonts, TheWorkingDirectoryComesFirst) {
    // A Roboto copy under the title font's name, in the working directory, is the one opened.
    fs::copy_file(fs::path(MD_BINARY_DIR) / "bin" / kInfoFontFile, work_ / kTitleFontFile);
    TTF_Font* font = openFont(kTitleFontFile, 20);
    ASSERT_NE(font, nullptr);
    EXPECT_STREQ(TTF_FontFaceFamilyName(font), "Roboto");
    TTF_CloseFont(font);

    fs::remove(work_ / kTitleFontFile);
    font = openFont(kTitleFontFile, 20);
    ASSERT_NE(font, nullptr);
    EXPECT_STRNE(TTF_FontFaceFamilyName(font), "Roboto");
    TTF_CloseFont(font);
}

TEST_F(Fonts, AMissingFontIsReportedOnceInOneLineNamingIt) {
    EXPECT_EQ(openFont("no-such-font.ttf", 14), nullptr);
    EXPECT_EQ(openFont("no-such-font.ttf", 27), nullptr);
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_NE(logLines[0].find("\"no-such-font.ttf\""), std::string::npos) << logLines[0];
    EXPECT_EQ(logLines[0].find('\n'), std::string::npos) << logLines[0];
}

TEST_F(Fonts, AnUnreadableFontIsReportedNotOpened) {
    { std::ofstream(work_ / "broken.ttf") << "this is not a font"; }
    EXPECT_EQ(openFont("broken.ttf", 14), nullptr);
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_NE(logLines[0].find("broken.ttf"), std::string::npos) << logLines[0];
}

} // namespace
} // namespace md
