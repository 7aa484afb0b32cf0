#include "platform/embedded_resources.h"

#include <gtest/gtest.h>

namespace md {
namespace {

const unsigned char kSong[] = {'T', 'S', 'K', 7};
const unsigned char kImage[] = {0x89, 'P', 'N', 'G', 1, 2};
const unsigned char kOther[] = {42};

const EmbeddedResource kTable[] = {
    {"MUSIC", 101, kSong, kSong + sizeof kSong},
    {"PNG", 101, kImage, kImage + sizeof kImage},
    {"PNG", 65535, kOther, kOther + sizeof kOther},
    {"MUSIC", 0, kOther, kOther},
};

TEST(EmbeddedResources, TypeNameMatchesInAnyCase) {
    for (const char* type : {"MUSIC", "Music", "music", "mUsIc"}) {
        auto found = findResourceIn(kTable, type, 101);
        ASSERT_TRUE(found) << type;
        EXPECT_EQ(found->data, kSong);
        EXPECT_EQ(found->size, sizeof kSong);
    }
    auto image = findResourceIn(kTable, "png", 101);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data, kImage) << "the same id under another type is another resource";
    EXPECT_EQ(image->size, sizeof kImage);
}

TEST(EmbeddedResources, MissingEntriesFindNothing) {
    EXPECT_FALSE(findResourceIn(kTable, "MUSIC", 102));
    EXPECT_FALSE(findResourceIn(kTable, "WAVE", 101));
    EXPECT_FALSE(findResourceIn(kTable, "MUSI", 101)) << "a prefix is not the type";
    EXPECT_FALSE(findResourceIn(kTable, "MUSICS", 101));
    EXPECT_FALSE(findResourceIn(kTable, "", 101));
    EXPECT_FALSE(findResourceIn({}, "MUSIC", 101));
}

TEST(EmbeddedResources, IdsAreSixteenBit) {
    EXPECT_TRUE(findResourceIn(kTable, "PNG", 65535));
    EXPECT_FALSE(findResourceIn(kTable, "PNG", 65535 - 65536)) << "no wrap-around of negative ids";
    EXPECT_FALSE(findResourceIn(kTable, "MUSIC", 101 + 65536)) << "no wrap-around of large ids";
    auto empty = findResourceIn(kTable, "MUSIC", 0);
    ASSERT_TRUE(empty) << "an empty resource is still found";
    EXPECT_EQ(empty->size, 0u);
}

TEST(EmbeddedResources, ProgramTableHoldsOnlyKnownTypesAndUniqueKeys) {
    auto table = embeddedResourceTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::string type = table[i].type;
        EXPECT_TRUE(type == "MUSIC" || type == "PNG") << type;
        EXPECT_LE(table[i].begin, table[i].end);
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(type == table[j].type && table[i].id == table[j].id) << type << " " << table[i].id;
        }
    }
}

} // namespace
} // namespace md
