#include "player/streaming.h"

#include "platform/debug_channel.h"
#include "platform/play_sound.h"
#include "player/catalogue.h"
#include "player/player_state.h"
#include "player/rendered_audio.h"
#include "player/wav_image.h"
#include "synth/engine.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace md {

SongRender loadedRender;

uint32_t renderedFrames() {
    return static_cast<uint32_t>(renderedBytes.load(std::memory_order_acquire) / 4);
}

void Music::loadAndPlay() {
    PlayerState& ps = playerState;
    setPlayState(Rendering);
    debugString("\n Load And Play\n");
    // The image is about to be overwritten: nothing of the previous song may be read from it any more.
    withdrawRenderedAudio();
    loadedRender = SongRender{};
    if (!prepareSong(resourceId)) return; // stays Rendering, silent, until another song is selected

    Engine& engine = *ps.currentEngine;
    const float seconds = engine.measureLength();
    // A song longer than the image is rendered as far as the image holds, and that much is looped.
    const uint32_t total = renderFrames(seconds);
    const uint32_t frames = std::min(songFrames(seconds), total);
    lengthFrames.store(static_cast<int32_t>(frames));
    loadedRender = SongRender{seconds, frames, total};
    engine.start();

    for (uint32_t pos = 0; pos < total; pos += renderChunkFrames) {
        const int count = static_cast<int>(std::min<uint32_t>(renderChunkFrames, total - pos));
        engine.renderChunk(wavImage.sampleArea + 2 * static_cast<std::size_t>(pos), count);
        publishRenderedFrames(pos + static_cast<uint32_t>(count));
        if (pos == 0) {
            setWavSizes(wavHeaderTemplate, frames * 4);
            std::memcpy(wavImage.header, wavHeaderTemplate, kWavHeaderSize);
            playSoundLooped(reinterpret_cast<const uint8_t*>(&wavImage), sizeof wavImage, &renderedBytes);
            const uint32_t now = SDL_GetTicks();
            ps.playStartTicks.store(now != 0 ? now : 1); // 0 means "not started"
        }
        if (ps.loadedSong.load() != ps.selectedSong.load()) {
            setPlayState(ps.quitRequested.load() ? Idle : Rendered);
            return;
        }
        if (ps.quitRequested.load()) {
            setPlayState(Idle);
            return;
        }
    }
    setPlayState(Rendered);
}

} // namespace md
