#include "platform/play_sound.h"

#include "platform/wav_loop.h"

#include <SDL.h>

#include <mutex>

namespace md {

namespace {

// Frames per device buffer: about 21 ms.
constexpr Uint16 kDeviceBufferFrames = 1024;

struct SoundOutput {
    std::mutex mutex; // guards device and failed; the loop is guarded by the device lock
    SDL_AudioDeviceID device = 0;
    bool failed = false;
    WavLoop loop;
};

SoundOutput& output() {
    static SoundOutput instance;
    return instance;
}

void SDLCALL fillBuffer(void* userdata, Uint8* stream, int len) {
    static_cast<WavLoop*>(userdata)->read(stream, static_cast<std::size_t>(len));
}

// Opens the device on first use; false when there is none. Call with the mutex held.
bool openDevice(SoundOutput& out) {
    if (out.device != 0) return true;
    if (out.failed) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(WavLoop::kSampleRate);
        want.format = AUDIO_S16LSB;
        want.channels = 2;
        want.samples = kDeviceBufferFrames;
        want.callback = fillBuffer;
        want.userdata = &out.loop;
        // No changes allowed: SDL converts to whatever the hardware wants.
        out.device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (out.device == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (out.device == 0) {
        out.failed = true;
        SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION,
                    "No audio device could be opened (%s); the music disk plays silently.", SDL_GetError());
        return false;
    }
    return true;
}

} // namespace

bool playSoundLooped(const uint8_t* wavImage, std::size_t imageSize,
                     const std::atomic<std::size_t>* readyBytes) {
    SoundOutput& out = output();
    std::lock_guard<std::mutex> guard(out.mutex);
    if (!openDevice(out)) return false;
    SDL_LockAudioDevice(out.device);
    const bool started = out.loop.start(wavImage, imageSize, readyBytes);
    SDL_UnlockAudioDevice(out.device);
    SDL_PauseAudioDevice(out.device, started ? 0 : 1);
    return started;
}

void stopSound() {
    SoundOutput& out = output();
    std::lock_guard<std::mutex> guard(out.mutex);
    if (out.device == 0) return;
    SDL_LockAudioDevice(out.device);
    out.loop.stop();
    SDL_UnlockAudioDevice(out.device);
    SDL_PauseAudioDevice(out.device, 1);
}

void closeSoundOutput() {
    SoundOutput& out = output();
    std::lock_guard<std::mutex> guard(out.mutex);
    if (out.device != 0) {
        SDL_CloseAudioDevice(out.device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        out.device = 0;
    }
    out.loop.stop();
    out.failed = false;
}

} // namespace md
