// Songs of the tests' own, compiled from text in memory and handed to the player in place of the embedded
// ones, and a fixture that builds a catalogue of them on a window-sized surface, with SDL's dummy audio.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/play_sound.h"
#include "player/catalogue.h"
#include "player/play_thread.h"
#include "player/player_state.h"
#include "song/song_text.h"

namespace md::test {

// A steady saw tone from the first frame, so played audio can be lined up with the render.
inline std::string toneSong(int rows, int speed, int tempo = 125, const std::string& extraRows = "") {
    return "song\n  tracks 1\n  rows " + std::to_string(rows) + "\n  speed " + std::to_string(speed) +
           "\n  tempo " + std::to_string(tempo) +
           "\ninstrument 1 tone\n  volume 40\n  adsr 0 0 15 0\n  program\n     0 osc saw, hold\n"
           "pattern p\n   0 C-4 tone\n" +
           extraRows + "order\n  p\n";
}

// 16 rows of 3 ticks at tempo 125: 480 control blocks, 0.96 s.
inline std::string shortSong() {
    return toneSong(16, 3, 125, "   8 E-4 tone\n");
}
// 250 rows of 12 ticks: 60 s, eight chunks.
inline std::string minuteSong() {
    return toneSong(250, 12);
}

inline std::vector<uint8_t> compileText(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(compileSongText(text, "test.txt", bytes, &error)) << error;
    return bytes;
}

// Song files by id, served to the player as if they were embedded; counts what the player loads.
class TestSongs {
  public:
    void add(int id, std::vector<uint8_t> bytes) { files_[id] = std::move(bytes); }
    void addText(int id, const std::string& text) { add(id, compileText(text)); }

    void install() {
        setSongSource({[this](int id) -> int32_t {
                           auto it = files_.find(id);
                           return it == files_.end() ? 0 : static_cast<int32_t>(it->second.size());
                       },
                       [this](int id) -> uint8_t* {
                           {
                               std::lock_guard<std::mutex> guard(mutex_);
                               loads_.push_back(id);
                           }
                           auto it = files_.find(id);
                           if (it == files_.end()) return nullptr;
                           auto* copy = static_cast<uint8_t*>(std::malloc(it->second.size() + 1));
                           std::memcpy(copy, it->second.data(), it->second.size());
                           return copy;
                       }});
    }

    std::vector<int> loads() {
        std::lock_guard<std::mutex> guard(mutex_);
        return loads_;
    }
    void clearLoads() {
        std::lock_guard<std::mutex> guard(mutex_);
        loads_.clear();
    }

  private:
    std::map<int, std::vector<uint8_t>> files_;
    std::mutex mutex_;
    std::vector<int> loads_;
};

// Every playState the player writes, in order.
class StateTrace {
  public:
    static std::vector<int32_t> take() {
        std::lock_guard<std::mutex> guard(mutex());
        return std::exchange(states(), {});
    }
    static void install() {
        take();
        playStateObserver = record;
    }
    static void record(int32_t s) {
        std::lock_guard<std::mutex> guard(mutex());
        states().push_back(s);
    }
    static void remove() { playStateObserver = nullptr; }

  private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<int32_t>& states() {
        static std::vector<int32_t> s;
        return s;
    }
};

// Waits up to `seconds` for `done`; true if it came.
inline bool waitFor(const std::function<bool()>& done, double seconds = 60.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (SDL_getenv("SDL_AUDIODRIVER") == nullptr) SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(TTF_Init(), 0) << TTF_GetError();
        surface_ = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_NE(surface_, nullptr);
    }

    void TearDown() override {
        player_.reset();
        StateTrace::remove();
        resetSongSource();
        closeSoundOutput();
        SDL_FreeSurface(surface_);
        TTF_Quit();
    }

    // Builds the catalogue of `rows` (each row's id served by songs_ when added there).
    void build(std::vector<CatalogueRow> rows) {
        rows_ = std::move(rows);
        songs_.install();
        player_.reset();
        player_ = std::make_unique<PlayThread>(surface_, rows_);
    }

    // Selects entry `index` and takes it up on this thread, rendering it to its end.
    void loadNow(int index) {
        playerState.selectedSong.store(index);
        playerPoll();
    }

    TestSongs songs_;
    std::vector<CatalogueRow> rows_;
    SDL_Surface* surface_ = nullptr;
    std::unique_ptr<PlayThread> player_;
};

// A PlayerTest whose working directory, where exports are written, is a fresh empty folder for each test.
class PlayerTestInFolder : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        previous_ = std::filesystem::current_path();
        folder_ = std::filesystem::path(::testing::TempDir()) /
                  (std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
                   "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
        PlayerTest::TearDown();
    }
    // The names in the folder, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path previous_, folder_;
};

} // namespace md::test
