// Instrument program: 32 three-byte steps per instrument, run once per control tick before the rest of the
// voice. Steps set the note offset, oscillators, levels, detunes, pulse width, filter, gain, waveshaping,
// slides, step duration, loops, chord notes and envelope release or retrigger.
#include <algorithm>

#include "synth/engine.h"

namespace md {
namespace {

// One tick executes at most this many steps; a program that loops within a tick stops here.
constexpr int kMaxStepsPerTick = 4096;

enum ProgramCommand : int {
    CmdOscillators = 0,
    CmdPitchUp = 1,
    CmdPitchDown = 2,
    CmdPulseWidth = 3,
    CmdCutoff = 4,
    CmdCutoffUp = 5,
    CmdCutoffDown = 6,
    CmdOscLevel = 7,
    CmdSemitoneDetune = 8,
    CmdFineDetune = 9,
    CmdVolumeSlide = 10,
    CmdLoop = 11,
    CmdGain = 12,
    CmdResonance = 13,
    CmdExtended = 14,
    CmdStepTicks = 15,
};

inline float programVolumeSlideFor(int p) {
    const int y = p >> 4;
    if (p > 15) return static_cast<float>(y) * kOneOver255 * (controlPeriod * 16.0f);
    return -static_cast<float>(p) * kOneOver255 * (controlPeriod * 16.0f);
}

} // namespace

void Engine::programTick(Voice& v, Track& t) {
    const bool holding = v.holding();
    const float m =
        (v.stepCountdown >= 0 && !holding) ? static_cast<float>(v.stepTicks * v.stepDivisor) : 0.0f;

    float cutoff = v.filter.cutoff.value + v.cutoffSlide * m;
    v.filter.cutoff.value = cutoff < 0.0f ? 0.0f : (cutoff > 1.0f ? 1.0f : cutoff);
    v.programNote = std::max(std::min(v.programNote + v.pitchSlide * m, 100.0f), -100.0f);

    if (v.stepCountdown <= 0 && !holding) {
        v.pitchSlide = 0;
        v.programVolumeSlide = 0;
        v.cutoffSlide = 0;
        int chainStart = -1;
        bool noteSuppressed = false;
        const Instrument& ins = *v.instrument;
        for (int executed = 1;; ++executed) {
            const uint8_t* step = ins.program[v.programPos];
            const bool chain = step[0] & 0x80;
            if (chain && chainStart < 0) chainStart = v.programPos;
            if (!noteSuppressed && (step[0] & 0x7F)) {
                v.programNote = static_cast<float>(step[0] & 0x7F);
                v.fixedPitch = (step[1] >> 4) & 1;
            }
            noteSuppressed = chain; // a step reached through a chain never changes the note

            const int p = step[2];
            const int x = p & 0x0F;
            const int y = p >> 4;
            bool cont = chain;
            switch (step[1] & 0x0F) {
            case CmdOscillators:
                if (x != 0) v.oscMask = x;
                if (y == 1) {
                    if (ins.releaseOnRetrigger() && v.envelope.state != EnvRelease)
                        v.releasePitch = t.trackPitch;
                    v.envelope.release();
                } else if (y == 2) {
                    v.envelope.trigger();
                }
                break;
            case CmdPitchUp:
                v.pitchSlide = static_cast<float>(p) * 0.25f * controlPeriod;
                break;
            case CmdPitchDown:
                v.pitchSlide = -static_cast<float>(p) * 0.25f * controlPeriod;
                break;
            case CmdPulseWidth:
                v.square.pulseWidth.value = static_cast<float>(p) * kOneOver255;
                if (p != 0) v.programVolumeSlide = programVolumeSlideFor(p);
                break;
            case CmdCutoff:
                v.filter.cutoff.value = static_cast<float>(p) * kOneOver255;
                break;
            case CmdCutoffUp:
                v.cutoffSlide = static_cast<float>(p) * kOneOver255 * (96.0f / 960.0f);
                break;
            case CmdCutoffDown:
                v.cutoffSlide = -static_cast<float>(p) * kOneOver255 * (96.0f / 960.0f);
                break;
            case CmdOscLevel: {
                const float level = static_cast<float>(x) * kOneOver15;
                for (int i = 0; i < 4; ++i)
                    if (y & (1 << i)) v.oscLevel[i] = level;
                break;
            }
            case CmdSemitoneDetune:
                for (int i = 0; i < 4; ++i)
                    if (y & (1 << i)) v.semitoneDetune[i] = static_cast<uint8_t>(x);
                break;
            case CmdFineDetune: {
                const float fine = static_cast<float>(x) * kOneOver15;
                for (int i = 0; i < 4; ++i)
                    if (y & (1 << i)) v.fineDetune[i] = fine;
                break;
            }
            case CmdVolumeSlide:
                if (p != 0) v.programVolumeSlide = programVolumeSlideFor(p);
                break;
            case CmdLoop:
                if (p < v.programPos && (chainStart < 0 || p < chainStart)) {
                    v.programPos = p - 1;
                    chainStart = -1;
                    cont = true;
                }
                break;
            case CmdGain:
                v.gain = static_cast<float>(p) * kOneOver255;
                break;
            case CmdResonance:
                v.filter.resonance = static_cast<float>(p) * kOneOver255;
                break;
            case CmdExtended:
                switch (y) {
                case 0:
                    if (x == 0 || v.fromChord == 0) {
                        v.chordNote = 0;
                    } else {
                        const int c = t.chordTable[x == 1 ? 0 : (x == 2 ? 1 : 2)];
                        if (c > 0)
                            v.chordNote = static_cast<float>(c);
                        else
                            cont = true;
                    }
                    break;
                case 4:
                    v.filter.mode = x;
                    break;
                case 7:
                    v.foldThreshold = static_cast<float>(x) * kOneOver14;
                    break;
                case 9:
                    v.drive = static_cast<float>(x) * kOneOver15;
                    break;
                case 13:
                    v.crushTarget = static_cast<float>(x) * kOneOver15;
                    break;
                case 15:
                    v.stepDivisor = x != 0 ? x : 1;
                    break;
                default:
                    break;
                }
                break;
            case CmdStepTicks:
                v.stepTicks = p != 0 ? p : kProgramHold;
                break;
            }

            if (executed >= kMaxStepsPerTick) cont = false;
            if (v.programPos < kProgramLength - 1) {
                ++v.programPos;
                if (!cont) break;
            } else {
                v.stepTicks = kProgramHold; // the last step has run
                break;
            }
        }
        if (!v.holding())
            v.stepCountdown +=
                truncToInt(static_cast<float>((v.stepTicks * samplesPerTick) / v.stepDivisor) * v.tempoScale);
    }
    v.stepCountdown -= controlBlock;
}

} // namespace md
