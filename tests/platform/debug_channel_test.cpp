#include "platform/debug_channel.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace md {
namespace {

struct Entry {
    int category;
    SDL_LogPriority priority;
    std::string text;
};
std::vector<Entry> entries;

void SDLCALL collect(void*, int category, SDL_LogPriority priority, const char* message) {
    entries.push_back({category, priority, message});
}

TEST(DebugChannel, WritesTheTextAtDebugPriorityOnlyWhenRaised) {
    entries.clear();
    ::unsetenv("MUSICDISK_DEBUG"); // the defaults, whatever the environment asks for
    SDL_LogSetOutputFunction(collect, nullptr);
    SDL_LogResetPriorities();
    debugString("\n Load And Play\n");
    EXPECT_TRUE(entries.empty()) << "hidden at the default priority";

    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_DEBUG);
    debugString("\n Load And Play\n");
    debugString("EXPORT 2 END\n");
    SDL_LogSetOutputFunction(nullptr, nullptr);
    SDL_LogResetPriorities();

    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].category, SDL_LOG_CATEGORY_APPLICATION);
    EXPECT_EQ(entries[0].priority, SDL_LOG_PRIORITY_DEBUG);
    // The log ends every message with a line end of its own, in place of the text's final one.
    EXPECT_EQ(entries[0].text, "\n Load And Play");
    EXPECT_EQ(entries[1].text, "EXPORT 2 END");
}

TEST(DebugChannel, EnvironmentShowsTheChannel) {
    // The variable is read at the first text of a process: a fresh one runs the test's body.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("MUSICDISK_DEBUG", "1", 1);
            debugString("\nEXPORT 2 START\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "DEBUG: \nEXPORT 2 START");
}

} // namespace
} // namespace md
