#include "song/loaded_song.h"

#include "song/song_file.h"
#include "song/song_text.h"

namespace md {

bool loadSongBytes(LoadedSong& out, std::vector<uint8_t> bytes, std::string* error) {
    Song song;
    if (!parseSong(song, bytes.data(), bytes.size(), error)) return false;
    out.bytes = std::move(bytes); // the buffer moves with its address, so the Song's pointers stay good
    out.song = song;
    return true;
}

bool loadSongText(LoadedSong& out, std::string_view text, std::string* error, std::string_view fileName) {
    std::vector<uint8_t> bytes;
    if (!compileSongText(text, fileName, bytes, error)) return false;
    return loadSongBytes(out, std::move(bytes), error);
}

} // namespace md
