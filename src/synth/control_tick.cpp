// Control-rate update: once per 96-frame block every sounding voice runs its program, computes its pitch,
// levels and vibrato, mixes its oscillators with the sync and ring links of its neighbours, and passes the
// waveshaping chain and the filter.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <math.h>

#include "synth/engine.h"

namespace md {

void foldBuffer(float* buffer, int count, float t, float scale) {
    const float period = 4.0f * t;
    const float twoT = 2.0f * t;
    for (int i = 0; i < count; ++i) {
        const float x = buffer[i];
        if (x > t || x < -t) {
            const float r = fmodf(x - t, period);
            buffer[i] = (std::fabs(std::fabs(r) - twoT) - t) * scale;
        }
    }
}

int Engine::trackCount() const {
    if (!song) return 0;
    return std::clamp(song->trackCount, 0, kMaxTracks);
}

void Engine::controlTick() {
    std::memset(syncFlags_, 0, sizeof syncFlags_);
    syncSource_ = nullptr;
    ringPending_ = false;
    pendingSyncMaster_ = false;

    const int tracksUsed = trackCount();
    // Filters are independent of one another unless a ring source feeds a filtered signal to the next voice;
    // without ring sources they run at the end of the tick, four at a time.
    bool anyRing = false;
    for (int k = 0; k < tracksUsed && !anyRing; ++k)
        for (int j = 0; j < tracks[k].activeCount; ++j)
            if (tracks[k].active(j).linkMode() == 2) {
                anyRing = true;
                break;
            }
    const bool deferFilter = !anyRing;
    groupCount_ = 0;
    clearCount_ = 0;

    for (int k = 0; k < tracksUsed; ++k) {
        Track& t = tracks[k];
        curFlags_ = syncFlags_[k & 1];
        prevFlags_ = syncFlags_[(k + 1) & 1];
        std::memset(curFlags_, 0, controlBlock);
        bool killChain = false;
        int j = 0;
        while (j < t.activeCount) {
            Voice& v = t.active(j);
            const int linkMode = v.linkMode();
            if (v.envelope.state == EnvDone || killChain) {
                // A removed ring source takes the voice it was modulating with it.
                killChain = (linkMode == 2);
                t.removeActive(j);
                continue;
            }
            updateVoice(v, t, linkMode, deferFilter);
            ++j;
        }
        syncSource_ = (t.trackMode == TrackSyncSilent || t.trackMode == TrackSyncAudible) ? &t : nullptr;
    }

    for (int i = 0; i < groupCount_; i += 16)
        Filter::processWide(groupFilters_ + i, groupBuffers_ + i, std::min(16, groupCount_ - i));
    for (int i = 0; i < clearCount_; ++i) std::memset(clearAfterFilter_[i], 0, sizeof(float) * controlBlock);
}

void Engine::updateVoice(Voice& v, Track& t, int linkMode, bool deferFilter) {
    programTick(v, t);

    // Pitch in semitones; n = 71 gives the argument 440.
    float base;
    if (v.fixedPitch) {
        base = v.fixedBase + v.programNote;
    } else {
        const bool frozen = v.instrument->releaseOnRetrigger() && v.envelope.state == EnvRelease;
        const float p = frozen ? v.releasePitch : t.trackPitch;
        base = p + v.programNote;
        if (v.chordIndex >= 0) base = base + static_cast<float>(t.chordTable[v.chordIndex]);
    }
    const float n = v.chordNote + base + v.unisonDetune;
    const float f0 = 440.0f * powf(2.0f, (n - 71.0f) * kSemitone);

    // Detune offsets in Hz, order triangle, saw, square, noise.
    float off[4];
    for (int i = 0; i < 4; ++i) {
        const float s = static_cast<float>(v.semitoneDetune[i]) + v.fineDetune[i] * v.fineDetune[i];
        off[i] = s > 0.0f ? 440.0f * powf(2.0f, (s + n - 71.0f) * kSemitone) - f0 : 0.0f;
    }

    // Volume.
    const float programTerm =
        v.holding() ? 0.0f : static_cast<float>(v.stepDivisor * v.stepTicks) * v.programVolumeSlide;
    v.volume = programTerm + v.volumeSlide + v.volume;
    if (v.volume < 0.0f)
        v.volume = 0.0f;
    else if (v.volume > 1.0f)
        v.volume = 1.0f;

    v.envelope.run();

    // Vibrato: a triangle of slope vibratoRate per second after the delay.
    float f;
    if (v.vibratoDelay > 0.0f) {
        v.vibratoDelay -= controlPeriod;
        f = f0;
    } else {
        v.vibratoValue += v.vibratoRate * controlPeriod;
        if (v.vibratoValue > 1.0f) {
            v.vibratoValue = 1.0f;
            v.vibratoRate = -std::fabs(v.vibratoRate);
        } else if (v.vibratoValue < -1.0f) {
            v.vibratoValue = -1.0f;
            v.vibratoRate = std::fabs(v.vibratoRate);
        }
        f = v.vibratoDepth * f0 * v.vibratoValue + f0;
    }

    // Hard sync: wraps of a sync-source track (or of the master right before) restart these phases.
    uint8_t* wrap = (t.trackMode == TrackSyncSilent || t.trackMode == TrackSyncAudible || linkMode == 1)
                        ? curFlags_
                        : nullptr;
    uint8_t* reset = nullptr;
    if (syncSource_) {
        if (pendingSyncMaster_) {
            reset = curFlags_;
            pendingSyncMaster_ = false;
        } else {
            reset = prevFlags_;
        }
    }
    v.triangle.wrapFlags = v.square.wrapFlags = v.saw.wrapFlags = wrap;
    v.triangle.resetFlags = v.square.resetFlags = v.saw.resetFlags = reset;

    // Oscillator mix.
    float* mix = v.mixBuffer;
    std::memset(mix, 0, sizeof v.mixBuffer);
    const float limit = static_cast<float>(sampleRate / 4);
    Osc* oscs[4] = {&v.triangle, &v.saw, &v.square, &v.noise};
    for (int i = 0; i < 4; ++i) {
        if (!(v.oscMask & (1 << i))) continue;
        const float freq = std::min(f + off[i], limit);
        switch (i) {
        case OscTri:
            v.triangle.generate(freq);
            break;
        case OscSawIdx:
            v.saw.generate(freq);
            break;
        case OscSquareIdx:
            v.square.generate(freq);
            break;
        default:
            v.noise.generate(freq);
            break;
        }
        const float* out = oscs[i]->output;
        const float level = v.oscLevel[i];
        for (int k = 0; k < controlBlock; ++k) mix[k] += out[k] * level;
    }

    if (ringPending_) {
        for (int k = 0; k < controlBlock; ++k) mix[k] *= ringBuffer_[k];
        ringPending_ = false;
    }

    if (v.drive > 0.0f) {
        const float g = v.drive * v.drive * 8.0f + 1.0f;
        for (int k = 0; k < controlBlock; ++k) {
            const float x = mix[k] * g;
            mix[k] = x < -1.0f ? -1.0f : (x > 1.0f ? 1.0f : x);
        }
    }

    if (v.foldThreshold > 0.0f) foldBuffer(mix, controlBlock, v.foldThreshold, 1.0f / v.foldThreshold);

    if (v.crushTarget != 0.0f) {
        v.crushLevel = static_cast<float>(
            static_cast<double>(v.crushLevel) +
            (static_cast<double>(v.crushTarget) - static_cast<double>(v.crushLevel)) * 0.1);
        const float c = v.crushLevel;
        const int step = truncToInt(c * 32768.0f + (1.0f - c) * 256.0f) - 254;
        for (int k = 0; k < controlBlock; ++k) {
            const int q = truncToInt(mix[k] * 32768.0f);
            const int rem = step != 0 ? q % step : 0;
            mix[k] = static_cast<float>(q - rem) * 3.0517578e-05f;
        }
    }

    if (deferFilter) {
        if (v.filter.mode != 0) {
            groupFilters_[groupCount_] = &v.filter;
            groupBuffers_[groupCount_] = mix;
            ++groupCount_;
        }
        if (linkMode == 1) {
            pendingSyncMaster_ = true;
            clearAfterFilter_[clearCount_++] = mix; // silent once its filter has run
            syncSource_ = &t;
        }
        return;
    }

    v.filter.process(mix);

    if (linkMode == 2) {
        for (int k = 0; k < controlBlock; ++k) ringBuffer_[k] = mix[k] * v.envelope.output[k];
        std::memset(mix, 0, sizeof v.mixBuffer);
        ringPending_ = true;
    } else if (linkMode == 1) {
        pendingSyncMaster_ = true;
        std::memset(mix, 0, sizeof v.mixBuffer);
        syncSource_ = &t;
    }
}

} // namespace md
