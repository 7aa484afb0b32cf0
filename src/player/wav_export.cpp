#include "player/wav_export.h"

#include "platform/debug_channel.h"
#include "platform/file_replace.h"
#include "player/catalogue.h"
#include "player/player_state.h"
#include "player/streaming.h"
#include "player/wav_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace md {

uint8_t exportHeader[44];

namespace {

void reportFailure(const std::string& name, const std::string& reason) {
    const std::string line = "Export of \"" + name + "\" failed: " + reason + "\n";
    debugString(line.c_str());
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

std::string exportFileName(const char* title, const char* artist) {
    return std::string("Oru - ") + title + " (" + artist + ").wav";
}

bool writeWavFile(const std::string& path, const uint8_t* header, std::size_t headerSize, const void* data,
                  std::size_t dataSize, std::string* reason) {
    return replaceFile(path, {{header, headerSize}, {data, dataSize}}, ".part", reason);
}

void exportSongAt(int y) {
    PlayerState& ps = playerState;
    if (ps.playState.load() != Rendered) return;
    const int32_t loaded = ps.loadedSong.load();
    if (loaded < 0 || loaded >= catalogueCount || catalogue[loaded] == nullptr) return;
    const Music& entry = *catalogue[loaded];
    if (!entry.isCurrent.load() || findRowAt(y) != loaded) return;
    // The file needs the song and ten seconds after it; a render cut short by a newer selection has not
    // written them, and the image beyond it still holds another song.
    const SongRender render = loadedRender;
    const uint32_t frames = exportFrames(render.seconds);
    const uint32_t rendered = renderedFrames();
    if (rendered < frames) return;
    if (!changePlayState(Rendered, Exporting)) return;

    debugString("\nEXPORT 2 START\n");
    std::memcpy(exportHeader, wavHeaderTemplate, sizeof exportHeader);
    const std::size_t dataBytes = 4 * static_cast<std::size_t>(frames);
    setWavSizes(exportHeader, static_cast<uint32_t>(dataBytes));
    fadeAfterSong(wavImage.sampleArea, 2 * static_cast<std::size_t>(rendered), render.seconds);

    const std::string name = exportFileName(entry.title, entry.artist);
    std::string reason;
    const bool written =
        writeWavFile(name, exportHeader, sizeof exportHeader, wavImage.sampleArea, dataBytes, &reason);
    setPlayState(Exported);
    debugString("EXPORT 2 END\n");
    if (!written) reportFailure(name, reason);
}

} // namespace md
