// A scan of the synthesizer's running state for values that should never be there: NaN, infinities and
// denormals (used by the render fuzz target and the robustness tests). The DC blocker and the limiter of the
// output stage are feedback loops that keep a NaN or an infinity forever once one has passed through them, so
// a finite output stage after a render proves that none reached the output during it.
#pragma once

#include <cmath>
#include <string>

#include "synth/engine.h"

namespace md::fuzz {

struct StateScan {
    long values = 0, nonFinite = 0, denormal = 0;
    std::string firstBad; // where the first bad value was found

    void check(float v, const char* where) {
        ++values;
        const bool bad = !std::isfinite(v) || std::fpclassify(v) == FP_SUBNORMAL;
        if (!std::isfinite(v)) ++nonFinite;
        if (std::fpclassify(v) == FP_SUBNORMAL) ++denormal;
        if (bad && firstBad.empty()) firstBad = std::string(where) + " = " + std::to_string(v);
    }
    void check(const float* v, int n, const char* where) {
        for (int i = 0; i < n; ++i) check(v[i], where);
    }
    bool clean() const { return nonFinite == 0 && denormal == 0; }
};

inline void scanOsc(StateScan& s, const Osc& o, const char* where) {
    s.check(o.period, where);
    s.check(o.phase, where);
    s.check(o.output, controlBlock, where);
}

// Every float of the voices, tracks, echo ring and output stage (the reverb's delay lines are private; what
// they return goes through the output stage).
inline StateScan scanEngine(const Engine& e) {
    StateScan s;
    for (const Track& t : e.tracks) {
        for (const Voice& v : t.voices) {
            s.check(v.smoothAmp, "voice amplitude");
            s.check(v.cutoffSlide, "cutoff slide");
            s.check(v.mixBuffer, controlBlock, "voice mix buffer");
            scanOsc(s, v.saw, "saw");
            scanOsc(s, v.square, "square");
            scanOsc(s, v.triangle, "triangle");
            scanOsc(s, v.noise, "noise");
            s.check(v.square.pulseWidth.value, "pulse width");
            s.check(v.noise.noiseCountdown, "noise countdown");
            s.check(v.noise.noiseSlope, "noise slope");
            s.check(v.envelope.level, "envelope level");
            s.check(v.envelope.rate, "envelope rate");
            s.check(v.envelope.peak, "envelope peak");
            s.check(v.envelope.output, controlBlock, "envelope output");
            const Filter& f = v.filter;
            for (float x : {f.stageIn, f.stage1, f.stage2, f.stage3, f.stage4}) s.check(x, "filter stage");
            s.check(f.cutoff.value, "filter cutoff");
            for (float x : {v.crushLevel, v.drive, v.foldThreshold, v.gain, v.volume, v.vibratoValue,
                            v.programNote, v.chordNote, v.pitchSlide, v.releasePitch, v.sendAmount})
                s.check(x, "voice control value");
        }
        s.check(t.trackLeft, controlBlock, "track left");
        s.check(t.trackRight, controlBlock, "track right");
        for (float x : {t.trackPitch, t.trackVolume, t.slideActive, t.portaTarget, t.trackFold})
            s.check(x, "track control value");
    }
    s.check(e.echoRing, kEchoRingSize, "echo ring");
    s.check(e.echoRingState, "echo damping");
    s.check(e.sendBuffer, controlBlock, "reverb send");
    for (float x : {e.limiterLeft.envelope, e.limiterRight.envelope}) s.check(x, "limiter envelope");
    for (float x : {e.dcLeftOut, e.dcLeftIn, e.dcRightOut, e.dcRightIn}) s.check(x, "DC blocker");
    return s;
}

} // namespace md::fuzz
