// The fuzz targets' checks replayed on every song of the repository and the fuzzers' own seeds (the seed
// corpus), and on the inputs that once broke a check (inputs/TARGET/, kept once fixed). A broken check aborts
// with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_checks.h"

namespace md {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> filesIn(const fs::path& dir, const std::string& extension = "") {
    std::vector<fs::path> files;
    if (fs::is_directory(dir))
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file() && (extension.empty() || e.path().extension() == extension))
                files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

const fs::path kSource = MD_SOURCE_DIR;

TEST(FuzzInputs, EverySeedAndEveryInputThatOnceBrokeACheckPassesEveryCheck) {
    std::vector<fs::path> texts = filesIn(kSource / "songs", ".txt");
    for (const char* dir : {"tests/golden/songs", "tests/hardening/data", "fuzz/seeds"})
        for (const fs::path& p : filesIn(kSource / dir, ".txt")) texts.push_back(p);
    int checked = 0;
    for (const fs::path& file : texts) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> text = readBytes(file);
        fuzz::checkSongText(text.data(), text.size());
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(compileSongText({reinterpret_cast<const char*>(text.data()), text.size()}, file.string(),
                                    bytes, &error))
            << error;
        fuzz::checkSongFile(bytes.data(), bytes.size());
        fuzz::checkSongRender(bytes.data(), bytes.size());
        ++checked;
    }
    for (const fs::path& file : filesIn(kSource / "tests/reference/data", ".tsk")) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = readBytes(file);
        fuzz::checkSongFile(bytes.data(), bytes.size());
        fuzz::checkSongRender(bytes.data(), bytes.size());
        ++checked;
    }
    EXPECT_GE(checked, 12 + 3 + 2);

    for (const auto& [target, check] :
         {std::pair{"song_file", &fuzz::checkSongFile}, std::pair{"song_render", &fuzz::checkSongRender},
          std::pair{"song_text", &fuzz::checkSongText}}) {
        for (const fs::path& file : filesIn(kSource / "tests/hardening/inputs" / target)) {
            SCOPED_TRACE(file.string());
            const std::vector<uint8_t> bytes = readBytes(file);
            check(bytes.data(), bytes.size());
        }
    }
}

} // namespace
} // namespace md
