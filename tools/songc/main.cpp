// songc TEXT OUT: the build's song compiler. It compiles one song text into a song file; the build runs it
// for every song of the catalogue before the files are embedded in the program (tsk itself embeds them, so
// it cannot compile them).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "song/song_text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: songc SONG.txt OUT.tsk\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "songc: " << argv[1] << ": cannot be read\n";
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!md::compileSongText(text.str(), argv[1], bytes, &error)) {
        std::cerr << error << '\n';
        return 2;
    }
    const std::string temporary = std::string(argv[2]) + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::cerr << "songc: " << argv[2] << ": cannot be written\n";
            return 2;
        }
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0) {
        std::cerr << "songc: " << argv[2] << ": cannot be written\n";
        return 2;
    }
    return 0;
}
