#include "player/resources.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace md {
namespace {

struct ImageEntry {
    int id;
    int width;
    int height;
};

// Every image the program carries, at the size its users draw it.
const ImageEntry kImages[] = {
    {135, 311, 156}, {136, 16, 150}, {137, 75, 26}, {146, 700, 152}, {166, 960, 540}, {169, 32, 32},
    {170, 700, 152}, {171, 64, 64},  {173, 64, 64}, {174, 36, 36},   {175, 128, 128},
};

std::string imagePath(int id) {
    return std::string(MD_IMAGE_DIR) + "/" + std::to_string(id) + ".png";
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

class Resources : public ::testing::Test {
  protected:
    void SetUp() override { IMG_Init(IMG_INIT_PNG); }
    void TearDown() override { IMG_Quit(); }
};

TEST_F(Resources, EveryImageDecodesAtItsSize) {
    int present = 0;
    for (const ImageEntry& image : kImages) {
        SCOPED_TRACE("PNG " + std::to_string(image.id));
        if (!std::filesystem::exists(imagePath(image.id))) continue;
        ++present;
        SDL_Surface* surface = loadPngResource(image.id);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        EXPECT_EQ(surface->w, image.width);
        EXPECT_EQ(surface->h, image.height);
        SDL_FreeSurface(surface);
    }
    if (present < static_cast<int>(std::size(kImages))) {
        GTEST_SKIP() << (std::size(kImages) - present) << " of the images are not drawn yet";
    }
}

TEST_F(Resources, EmbeddedBytesAreTheFilesBytes) {
    int checked = 0;
    for (const ImageEntry& image : kImages) {
        const auto file = readFile(imagePath(image.id));
        if (file.empty()) continue;
        SCOPED_TRACE("PNG " + std::to_string(image.id));
        EXPECT_EQ(resourceSize("PNG", image.id), static_cast<int32_t>(file.size()));
        EXPECT_EQ(resourceSize("png", image.id), static_cast<int32_t>(file.size()));
        uint8_t* copy = copyResource("Png", image.id);
        ASSERT_NE(copy, nullptr);
        EXPECT_TRUE(std::equal(file.begin(), file.end(), copy));
        uint8_t* second = copyResource("PNG", image.id);
        EXPECT_NE(second, copy) << "every copy is a fresh block";
        std::free(second);
        std::free(copy);
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no image is drawn yet";
}

TEST_F(Resources, MissingIdsGiveZeroAndNull) {
    for (int id : {0, 100, 134, 176, 999, 65535, -1, 65536 + 137}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(musicResourceSize(id), 0);
        EXPECT_EQ(loadMusicResource(id), nullptr);
        EXPECT_EQ(resourceSize("PNG", id), 0);
        EXPECT_EQ(copyResource("PNG", id), nullptr);
        EXPECT_EQ(loadPngResource(id), nullptr);
        EXPECT_NE(std::string(SDL_GetError()), "");
    }
    // An image id is not a song id, and a song id is not an image id.
    EXPECT_EQ(musicResourceSize(137), 0);
    EXPECT_EQ(loadMusicResource(137), nullptr);
}

TEST_F(Resources, SongsAreCopiedWhole) {
    // The catalogue's song ids; songs are embedded once they are written.
    int present = 0;
    for (int id = 101; id <= 172; ++id) {
        const int32_t size = musicResourceSize(id);
        if (size == 0) {
            EXPECT_EQ(loadMusicResource(id), nullptr) << id;
            continue;
        }
        ++present;
        uint8_t* copy = loadMusicResource(id);
        ASSERT_NE(copy, nullptr) << id;
        EXPECT_EQ(size, resourceSize("MUSIC", id));
        uint8_t* again = copyResource("music", id);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(0, std::memcmp(copy, again, static_cast<std::size_t>(size))) << id;
        std::free(again);
        std::free(copy);
    }
    if (present == 0) GTEST_SKIP() << "no song is embedded yet";
}

} // namespace
} // namespace md
