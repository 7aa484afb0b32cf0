// tsk render SONG [-o OUT.wav] [--seconds S] [--raw]: renders a song exactly as the player does and writes
// the file the disk's WAV export writes for it, or the first S seconds of the same render.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "cli.h"
#include "player/wav_image.h"
#include "song_input.h"
#include "synth/engine.h"

namespace {

const char kUsage[] =
    "usage: tsk render SONG [-o OUT.wav] [--seconds S] [--raw]\n"
    "\n"
    "Renders SONG (a song file, a song text which is compiled first, or @N for the song of catalogue entry "
    "N\n"
    "built into the program, see tsk list) as the player does: the song is\n"
    "measured, then rendered in ten-second chunks. Without --seconds the output is exactly the file the\n"
    "disk's WAV export writes: the whole song followed by ten seconds of its render fading out.\n"
    "\n"
    "  -o, --output FILE  where to write (default: SONG with the extension .wav or .raw)\n"
    "  --seconds S        only the first S seconds of the render, without fade\n"
    "  --raw              headerless signed 16-bit little-endian stereo instead of WAV\n";

// A progress bar on standard error when it is a terminal.
class Progress {
  public:
    Progress(const std::string& name, uint32_t total) : name_(name), total_(total), shown_(isatty(2)) {}
    void update(uint32_t done) {
        if (!shown_) return;
        const int width = 30;
        const int filled = total_ ? static_cast<int>(static_cast<uint64_t>(done) * width / total_) : width;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", name_.c_str(), std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(),
                     total_ ? static_cast<int>(100ull * done / total_) : 100);
        std::fflush(stderr);
    }
    ~Progress() {
        if (shown_) std::fprintf(stderr, "\n");
    }

  private:
    std::string name_;
    uint32_t total_;
    bool shown_;
};

} // namespace

int runRender(int argc, char** argv) {
    // Pull out the options of this command; the rest goes through the common parser.
    double seconds = -1.0;
    bool raw = false;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--raw") {
            raw = true;
        } else if (a == "--seconds" || a.rfind("--seconds=", 0) == 0) {
            std::string value;
            if (a == "--seconds") {
                if (i + 1 >= argc) {
                    std::cerr << "tsk render: --seconds needs a value\n\n" << kUsage;
                    return tsk::kExitFailure;
                }
                value = argv[++i];
            } else {
                value = a.substr(10);
            }
            char* end = nullptr;
            seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(seconds > 0.0) || seconds > 3600.0) {
                std::cerr << "tsk render: --seconds wants a number of seconds above 0 and at most 3600, not '"
                          << value << "'\n";
                return tsk::kExitFailure;
            }
        } else {
            rest.push_back(argv[i]);
        }
    }
    tsk::Arguments args;
    if (!tsk::parseArguments(static_cast<int>(rest.size()), rest.data(), true, kUsage, args))
        return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    const std::string& input = args.positional[0];
    const std::string output =
        args.hasOutput ? args.output : tsk::replaceExtension(tsk::baseName(input), raw ? ".raw" : ".wav");

    md::LoadedSong song;
    if (!tsk::loadSongArgument(input, song)) return tsk::kExitFailure;

    auto engine = std::make_unique<md::Engine>();
    engine->setup(&song.song);
    const float length = engine->measureLength();
    engine->start();

    // Frames to render (whole chunks) and to write.
    uint32_t rendered, written;
    if (seconds > 0.0) {
        written = static_cast<uint32_t>(std::llround(seconds * md::sampleRate));
        rendered = (written + md::renderChunkFrames - 1) / md::renderChunkFrames * md::renderChunkFrames;
    } else {
        rendered = md::renderFrames(length);
        written = md::exportFrames(length);
    }

    // The header sits in front of the samples, so the file is written from one buffer.
    constexpr std::size_t kHeaderValues = md::kWavHeaderSize / sizeof(int16_t);
    std::vector<int16_t> buffer(kHeaderValues + 2 * static_cast<std::size_t>(rendered));
    int16_t* samples = buffer.data() + kHeaderValues;
    Progress progress(tsk::baseName(input), rendered);
    for (uint32_t pos = 0; pos < rendered; pos += md::renderChunkFrames) {
        engine->renderChunk(samples + 2 * static_cast<std::size_t>(pos));
        progress.update(pos + md::renderChunkFrames);
    }
    if (seconds <= 0.0) md::fadeAfterSong(samples, 2 * static_cast<std::size_t>(rendered), length);

    const std::size_t dataBytes = 4 * static_cast<std::size_t>(written);
    const void* data = samples;
    std::size_t size = dataBytes;
    if (!raw) {
        uint8_t header[md::kWavHeaderSize];
        std::memcpy(header, md::wavHeaderTemplate, sizeof header);
        md::setWavSizes(header, static_cast<uint32_t>(dataBytes));
        std::memcpy(buffer.data(), header, sizeof header);
        data = buffer.data();
        size += sizeof header;
    }
    std::string reason;
    if (!tsk::writeFileAtomic(output, data, size, &reason)) return tsk::fail(output, reason);
    return 0;
}
