#include "song_analysis.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "player/wav_image.h"

namespace tsk {

double SongPass::activePercent(int k) const {
    return blocks ? 100.0 * static_cast<double>(tracks[k].activeBlocks) / static_cast<double>(blocks) : 0.0;
}

double SongPass::activeLevelDb(int k) const {
    const TrackActivity& t = tracks[k];
    if (t.activeBlocks == 0 || !(t.squares > 0)) return kNoLevel;
    const double meanSquare = t.squares / (2.0 * md::controlBlock * static_cast<double>(t.activeBlocks));
    return 10.0 * std::log10(meanSquare);
}

void renderSongPass(md::LoadedSong& song, double seconds, SongPass& pass) {
    pass = SongPass{};
    auto engine = std::make_unique<md::Engine>();
    engine->setup(&song.song);
    pass.measure = engine->measure();
    pass.songFrames = md::songFrames(pass.measure.seconds);
    pass.frames = pass.songFrames;
    if (seconds > 0.0)
        pass.frames =
            std::min<uint32_t>(pass.frames, static_cast<uint32_t>(std::llround(seconds * md::sampleRate)));
    pass.trackCount = engine->trackCount();
    engine->start();

    // Whole control blocks: the player's chunks are whole blocks too, so each call runs exactly one block.
    pass.blocks = (pass.frames + md::controlBlock - 1) / md::controlBlock;
    pass.samples.assign(2 * pass.blocks * md::controlBlock, 0);
    int lastOrder = -1;
    for (uint64_t b = 0; b < pass.blocks; ++b) {
        // The order row whose rows this block plays (the sequencer moves on at the end of a block).
        const int order = song.song.orderPos;
        if (order != lastOrder) {
            pass.sections.push_back({b * md::controlBlock, order, kNoLevel});
            lastOrder = order;
        }
        engine->renderChunk(pass.samples.data() + 2 * b * md::controlBlock, md::controlBlock);
        for (int k = 0; k < pass.trackCount; ++k) {
            const md::Track& t = engine->tracks[k];
            bool sounding = false;
            for (int j = 0; j < t.activeCount && !sounding; ++j)
                sounding = t.active(j).envelope.state != md::EnvDone;
            if (!sounding) continue;
            ++pass.tracks[k].activeBlocks;
            double squares = 0;
            for (int i = 0; i < md::controlBlock; ++i)
                squares += static_cast<double>(t.trackLeft[i]) * t.trackLeft[i] +
                           static_cast<double>(t.trackRight[i]) * t.trackRight[i];
            pass.tracks[k].squares += squares;
        }
    }
    pass.samples.resize(2 * static_cast<std::size_t>(pass.frames));
}

} // namespace tsk
