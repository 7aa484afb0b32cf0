// Writes the seed corpora of the fuzz targets: fuzz_seeds OUTDIR FILE...
// A song text goes to OUTDIR/song_text as it is and, compiled, to OUTDIR/song_file and OUTDIR/song_render; a
// song file goes to those two as it is and, decompiled, to OUTDIR/song_text. Files that neither compile nor
// read are copied as they are to the corpus their kind belongs to.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "song/song_file.h"
#include "song/song_text.h"

namespace {

namespace fs = std::filesystem;

bool writeBytes(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: fuzz_seeds OUTDIR FILE...\n";
        return 2;
    }
    const fs::path out = argv[1];
    for (const char* corpus : {"song_file", "song_render", "song_text"}) fs::create_directories(out / corpus);
    int written = 0;
    for (int i = 2; i < argc; ++i) {
        const fs::path input = argv[i];
        std::ifstream in(input, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            std::cerr << "fuzz_seeds: cannot read " << input << "\n";
            return 2;
        }
        // Names stay unique across folders: songs/intro.txt -> songs_intro.
        std::string name = input.parent_path().filename().string() + "_" + input.stem().string();
        const bool binary = bytes.size() >= 3 && bytes[0] == 'T' && bytes[1] == 'S' && bytes[2] == 'K';
        bool ok = true;
        if (binary) {
            ok &= writeBytes(out / "song_file" / (name + ".tsk"), bytes.data(), bytes.size());
            ok &= writeBytes(out / "song_render" / (name + ".tsk"), bytes.data(), bytes.size());
            std::string text;
            if (md::decompileSong(bytes.data(), bytes.size(), text))
                ok &= writeBytes(out / "song_text" / (name + ".txt"), text.data(), text.size());
        } else {
            ok &= writeBytes(out / "song_text" / (name + ".txt"), bytes.data(), bytes.size());
            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            std::vector<uint8_t> compiled;
            if (md::compileSongText(text, input.string(), compiled)) {
                ok &= writeBytes(out / "song_file" / (name + ".tsk"), compiled.data(), compiled.size());
                ok &= writeBytes(out / "song_render" / (name + ".tsk"), compiled.data(), compiled.size());
            }
        }
        if (!ok) {
            std::cerr << "fuzz_seeds: cannot write the seeds of " << input << " in " << out << "\n";
            return 2;
        }
        ++written;
    }
    std::cout << "fuzz_seeds: seeds from " << written << " files in " << out.string() << "\n";
    return 0;
}
