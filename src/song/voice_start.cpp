// Voice allocation and note start: taking voices from a track's pool, setting them up from the instrument
// header, the unison partner and linked instruments, and cutting or releasing sounding voices.
#include <math.h>

#include <algorithm>
#include <cmath>

#include "synth/engine.h"

namespace md {
namespace {

constexpr float kSpreadTable[4] = {0.0f, 0.175f, 0.325f, 0.45f};
// One note start makes at most this many startVoice calls; beyond it linked instruments are not started.
constexpr int kMaxStartCalls = 65536;
constexpr int kMaxLinkChain = 32;

// Sweep step for a signed header byte: u^2 x scale, with the sign of u.
inline float sweepStep(uint8_t byte, float scale) {
    const float u = static_cast<float>(static_cast<int8_t>(byte)) * kOneOver255;
    const float step = u * u * scale;
    return u < 0.0f ? -step : step;
}

inline float envelopeTime(int nibble, float offset, float factor) {
    return powf(static_cast<float>(nibble) + offset, 3.5f) * 0.001f * factor;
}

// A new voice may start at the value the last cut voice of the track had, keeping its direction.
inline void applyLegato(Sweep& sweep, float last) {
    sweep.value = std::min(std::max(sweep.low, std::fabs(last)), sweep.high);
    if (last < 0.0f) sweep.step = -std::fabs(sweep.step);
}

// Releases a voice as a note-off does; a release-on-retrigger voice keeps the pitch it has now.
inline void releaseVoice(Voice& v, float trackPitch) {
    if (v.instrument->releaseOnRetrigger()) {
        if (v.envelope.state == EnvRelease) return;
        v.releasePitch = trackPitch;
    }
    v.envelope.release();
}

} // namespace

Voice& Engine::allocVoice(Track& t) {
    if (t.activeCount == kVoicesPerTrack) {
        int oldest = 0;
        for (int j = 1; j < kVoicesPerTrack; ++j)
            if (t.active(j).startSerial < t.active(oldest).startSerial) oldest = j;
        t.removeActive(oldest);
    }
    t.trackVolume = 1.0f;
    t.slideRate = 0;
    t.portaTarget = 0;
    t.slideActive = 0;
    Voice& v = t.voices[t.voiceList[t.activeCount]];
    ++t.activeCount;
    v.reset();
    v.startSerial = t.voiceSerial++;
    return v;
}

Voice& Engine::startVoice(Track& t, int n, int chordIndex, int chordMark, int pairFlag) {
    if (startDepth_ == 0) startCalls_ = 0;
    ++startCalls_;
    ++startDepth_;
    Instrument& ins = song->instrument(n);
    const uint8_t* h = ins.header;
    const float tempoF = static_cast<float>(tempo);
    const float speedF = static_cast<float>(speed);

    Voice& v = allocVoice(t);

    // Unison: a partner voice, started completely (with its own links) before this one is set up.
    if (h[17] != 0 && pairFlag == 0) {
        const float u = static_cast<float>((h[17] >> 4) + 1) * (1.0f / 17.0f);
        v.unisonDetune = u * u * 0.2f;
        const float spread = kSpreadTable[ins.spreadIndex()];
        v.panOffset = spread;
        v.volumeMultiplier = 0.7f - spread * 0.25f;
        Voice& w = startVoice(t, n, chordIndex, chordMark, 1);
        w.volumeMultiplier = v.volumeMultiplier;
        w.unisonDetune = static_cast<float>(h[17] & 0xF) - v.unisonDetune;
        w.panOffset = -v.panOffset;
    }

    // Echo.
    const int echoTime = h[18] & 0xF;
    v.echoLength =
        truncToUnsigned(((static_cast<float>(echoTime) * speedF / tempoF) * 125.0f + 1.0f) * 960.0f);
    v.echoAmount = echoTime != 0 ? static_cast<float>(h[18] >> 4) * kOneOver15 : 0.0f;

    v.instrument = &ins;
    v.stepTicks = 1;

    // Envelope.
    const float f = ins.shortEnvelope() ? 0.0625f : 1.0f;
    Envelope& env = v.envelope;
    env.attackTime = envelopeTime(ins.attackNibble(), 1.5f, f);
    env.decayTime = envelopeTime(ins.decayNibble(), 2.0f, f);
    env.sustainLevel = std::sqrt(static_cast<float>(ins.sustainNibble()) * kOneOver15);
    env.releaseTime = envelopeTime(ins.releaseNibble(), 1.5f, f);
    env.peak = 1.0f;
    env.state = EnvAttack;
    if (env.attackTime == 0.0f) {
        env.level = 1.0f;
        env.rate = 0.0f;
    } else {
        env.level = 0.0f;
        env.rate = 1.0f / env.attackTime;
    }

    // Vibrato.
    const float delay = static_cast<float>(ins.vibratoDelayNibble()) * kOneOver15;
    v.vibratoDelay = delay * delay * delay * 2.0f;
    v.vibratoDepth = powf(static_cast<float>(ins.vibratoDepthNibble()), 1.75f) * 0.001f;
    const int rateBase = ins.vibratoSpeed() + 10;
    v.vibratoRate = static_cast<float>(rateBase * rateBase * rateBase) * (1.0f / 256.0f);
    v.vibratoValue = 0;

    v.chordIndex = chordIndex;
    v.tempoScale = 125.0f / tempoF;

    // Pulse width, swept once per sample.
    Sweep& pw = v.square.pulseWidth;
    pw.value = static_cast<float>(h[4]) * kOneOver255;
    pw.low = static_cast<float>(h[5]) * kOneOver255;
    pw.high = static_cast<float>(h[6]) * kOneOver255;
    pw.step = sweepStep(h[7], 10.0f);
    pw.speed = sampleDuration;

    const float send = static_cast<float>(ins.reverbSend()) * kOneOver15;
    v.sendAmount = send * send;

    if (ins.pulseLegato()) applyLegato(pw, t.lastPulseWidth);

    // Filter cutoff, swept once per control tick.
    Sweep& co = v.filter.cutoff;
    co.value = static_cast<float>(h[8]) * kOneOver255;
    co.low = static_cast<float>(h[9]) * kOneOver255;
    co.high = static_cast<float>(h[10]) * kOneOver255;
    co.step = sweepStep(h[11], 5000.0f);
    co.speed = 1.0f / 48000.0f;
    v.filter.mode = ins.filterMode();
    v.filter.resonance = static_cast<float>(h[12]) * kOneOver255;

    if (ins.cutoffLegato()) applyLegato(co, t.lastCutoff);

    // Linked instrument, after clearing a link that runs into a cycle.
    breakLinkCycle(n);
    const int linked = ins.link();
    if (linked != 0 && startCalls_ < kMaxStartCalls) startVoice(t, linked, chordIndex, chordMark, 0);

    v.fromChord = static_cast<uint8_t>(chordMark);
    --startDepth_;
    return v;
}

void Engine::breakLinkCycle(int p) {
    Instrument& ins = song->instrument(p);
    int a = ins.link();
    if (a == 0) return;
    int recorded[kMaxLinkChain];
    int count = 0;
    for (int next = a; next != 0; next = song->instrument(next).link()) {
        if (std::find(recorded, recorded + count, next) != recorded + count || count == kMaxLinkChain) {
            a = 0;
            break;
        }
        recorded[count++] = next;
    }
    ins.header[13] = static_cast<uint8_t>((ins.header[13] & 0x07) | (a << 3));
}

bool Engine::cutVoice(Track& t, int i) {
    Voice& v = t.active(i);
    const Sweep& co = v.filter.cutoff;
    const Sweep& pw = v.square.pulseWidth;
    t.lastCutoff = co.step < 0.0f ? -co.value : co.value;
    t.lastPulseWidth = pw.step < 0.0f ? -pw.value : pw.value;
    if (v.instrument->releaseOnRetrigger()) {
        releaseVoice(v, t.trackPitch);
        return false;
    }
    t.removeActive(i);
    return true;
}

void Engine::noteOff(Track& t) {
    for (int j = 0; j < t.activeCount; ++j) releaseVoice(t.active(j), t.trackPitch);
}

void Engine::refreshInstrument(Track& t, int p) {
    const Instrument* ins = &song->instrument(p);
    for (int j = 0; j < t.activeCount; ++j) {
        Voice& v = t.active(j);
        if (v.envelope.state != EnvRelease) v.volume = 0.5f;
        if (v.instrument == ins) {
            v.envelope.attackTime = 0.01f;
            v.envelope.level = 0.0f;
            v.envelope.rate = 100.0f;
            v.envelope.state = EnvAttack;
        }
    }
}

} // namespace md
