// One pass of a song rendered as the player renders it, watched block by block: which tracks sound, how
// loud each track is, and where each order row starts.
#pragma once

#include <cstdint>
#include <vector>

#include "audio_analysis.h"
#include "song/loaded_song.h"
#include "synth/engine.h"

namespace tsk {

struct TrackActivity {
    uint64_t activeBlocks = 0; // control blocks with a sounding voice (one whose envelope has not ended)
    double squares = 0;        // sum over those blocks of the track's output squared (both channels)
};

struct SongPass {
    md::SongMeasure measure; // the song's length
    uint32_t songFrames = 0; // frames that playback loops
    uint32_t frames = 0;     // frames rendered and analysed (the song, or its first seconds)
    uint64_t blocks = 0;     // control blocks of those frames
    int trackCount = 0;
    TrackActivity tracks[md::kMaxTracks];
    std::vector<Section> sections; // each order row as it starts playing
    std::vector<int16_t> samples;  // 2 x frames interleaved values

    // Share of the blocks in which track k sounds, 0 to 100.
    double activePercent(int k) const;
    // The track's RMS level while it sounds, dB relative to full scale (before the master chain).
    double activeLevelDb(int k) const;
};

// Measures the song, starts it from the top and renders one pass (or only the first `seconds`, when above
// 0) in control blocks, exactly the samples the player renders in ten-second chunks.
void renderSongPass(md::LoadedSong& song, double seconds, SongPass& pass);

} // namespace tsk
