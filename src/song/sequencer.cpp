// Sequencer: plays the order list and patterns at control rate. Rows start on control-block boundaries with
// the remainder carried, so rows average exactly rowLength samples.
#include <algorithm>

#include "synth/engine.h"

namespace md {
namespace {

enum EffectCommand : int {
    FxLayer = 0x0,
    FxSlideUp = 0x1,
    FxSlideDown = 0x2,
    FxPortamento = 0x3,
    FxCutoff = 0x4,
    FxTrackEcho = 0x6,
    FxPulseWidth = 0x9,
    FxVolumeSlide = 0xA,
    FxJump = 0xB,
    FxVolume = 0xC,
    FxBreak = 0xD,
    FxExtended = 0xE,
    FxSpeedTempo = 0xF,
};

enum ExtendedCommand : int {
    ExTrackMode = 0x0,
    ExFineSlideUp = 0x1,
    ExFineSlideDown = 0x2,
    ExTrackPan = 0x3,
    ExTrackFold = 0x7,
    ExAutoRelease = 0xA,
    ExNoteDelay = 0xD,
};

constexpr int kNoteOff = 63;

} // namespace

int Engine::rowLength() const {
    return truncToInt(((125.0f / static_cast<float>(tempo)) * static_cast<float>(speed)) * 960.0f);
}

float Engine::rowFactor() const {
    return ((125.0f / static_cast<float>(tempo)) * static_cast<float>(speed)) * controlPeriod;
}

int Engine::normalisedOrder(int pos) const {
    const int length = song->orderLength;
    if (pos < 0) pos += length;
    if (pos >= length) pos = song->restartPos;
    return pos % length;
}

void Engine::advanceOrder() {
    song->orderPos = normalisedOrder(song->orderPos + 1);
}

void Engine::sequencerTick() {
    if (!song) return;
    const bool timerUnset = rowTimer == -1;
    const int tracksUsed = trackCount();
    const int rows = song->rowsPerPattern;

    for (int k = 0; k < tracksUsed; ++k) {
        Track& t = tracks[k];
        t.trackPitch = std::clamp(t.trackPitch, -100.0f, 100.0f);
        if (t.releaseCountdown > 0) {
            t.releaseCountdown -= controlBlock;
            if (t.releaseCountdown <= 0) noteOff(t);
        }
        if (t.slideActive != 0.0f) t.trackPitch += t.slideRate;
        if (t.portaTarget > 0.0f && t.slideActive != 0.0f && t.trackPitch != t.portaTarget) {
            if (t.trackPitch > t.portaTarget)
                t.trackPitch = std::max(t.trackPitch - t.portaRate, t.portaTarget);
            else
                t.trackPitch = std::min(t.trackPitch + t.portaRate, t.portaTarget);
        }

        // Row event.
        if (rowDelay[k] < 0) continue;
        if (rowDelay[k] > 0) {
            rowDelay[k] -= controlBlock;
            if (rowDelay[k] > 0) continue;
            rowDelay[k] = -1;
        }
        if (song->orderPos >= song->orderLength) continue;
        const int pattern = song->orderPattern(song->orderPos, k);
        if (pattern == 0) continue;
        if (song->cellStride == 0) song->cellStride = rows;
        const uint8_t* cell = song->cell(pattern, row % rows);
        if (rowDelay[k] == 0) {
            const int command = cell[1] >> 4;
            const int param = cell[2];
            if (command == FxExtended && (param >> 4) == ExNoteDelay && (param & 0xF) >= 1 && speed != 0) {
                // A note delay counts plain 960-sample ticks, whatever the tempo.
                rowDelay[k] = (param & 0xF) * samplesPerTick;
                continue;
            }
        }
        rowDelay[k] = -1;
        processCell(t, cell, song->orderTranspose(song->orderPos, k));
    }

    if (timerUnset) rowTimer = rowLength();
    rowTimer -= controlBlock;
    if (rowTimer > 0) return;

    // Row boundary.
    for (int k = 0; k < tracksUsed; ++k) rowDelay[k] = 0;
    rowTimer += rowLength();
    bool moved = false;
    if (breakRow >= 0) {
        row = std::min(breakRow, rows - 1);
        advanceOrder();
        breakRow = -1;
        moved = true;
    }
    if (jumpPos >= 0) {
        row = 0;
        song->orderPos = normalisedOrder(jumpPos);
        jumpPos = -1;
        moved = true;
    }
    if (row % rows >= rows - 1) {
        row = 0;
        advanceOrder();
    } else if (!moved) {
        row = (row % rows + 1) % rows;
    }
}

void Engine::processCell(Track& t, const uint8_t* cell, int transpose) {
    const int word = cell[0] | (cell[1] << 8);
    const int n = word & 0x3F;
    const int ins = (word >> 6) & 0x1F;
    const bool chord = word & 0x800;
    const int c = word >> 12;
    const int P = cell[2];
    const int x = P >> 4;
    const int y = P & 0xF;

    if (!measuring) {
        // An instrument without a new note re-attacks that instrument's voices.
        if (ins != 0 && (n == 0 || c == FxPortamento)) {
            refreshInstrument(t, ins);
            const int linked = song->instrument(ins).link();
            if (linked != 0) refreshInstrument(t, linked);
        }
        if (n == kNoteOff) noteOff(t);
        if (chord || c != FxPortamento) {
            if (chord) {
                const int candidates[3] = {c, x, y};
                int8_t found[3];
                int count = 0;
                for (int v : candidates)
                    if (v != 0) found[count++] = static_cast<int8_t>(v);
                if (count > 0)
                    for (int j = 0; j < 3; ++j) t.chordTable[j] = j < count ? found[j] : 0;
            }
            if (n != kNoteOff && ins != 0) {
                // Note start: cut the sounding voices, then start the root and the chord's voices.
                int j = 0;
                while (j < t.activeCount)
                    if (!cutVoice(t, j)) ++j;
                t.trackVolume = 1.0f;
                t.slideRate = 0;
                t.portaTarget = 0;
                t.slideActive = 0;
                int voices = 1;
                if (chord) {
                    voices = 4;
                    for (const auto& step : song->instrument(ins).program)
                        if ((step[1] & 0x0F) == kProgramCmdExtended && step[2] < 16) voices = 1;
                }
                const int mark = chord ? 1 : 0;
                int started = 0;
                for (int k = 0; k < voices; ++k) {
                    if (k >= 1 && t.chordTable[k - 1] == 0) continue;
                    Voice& v = startVoice(t, ins, k - 1, mark);
                    v.gain = v.gain - v.gain * static_cast<float>(started) * 0.075f;
                    ++started;
                }
            }
        }
        if (n != 0 && n != kNoteOff) {
            const float p = static_cast<float>(n + transpose);
            if (c == FxPortamento && !chord) {
                t.portaTarget = p;
            } else {
                t.portaTarget = 0;
                t.trackPitch = p;
            }
        }
    }
    t.slideActive = 0;

    float volumeSlide = 0.0f;
    if (!chord) {
        const float R = rowFactor();
        switch (c) {
        case FxLayer:
            if (P > 0 && P < 32) startVoice(t, P, 0, 0);
            break;
        case FxSlideUp:
        case FxSlideDown: {
            const float rate = R * (static_cast<float>(P) * 0.25f);
            t.slideRate = c == FxSlideUp ? rate : -rate;
            t.portaTarget = 0;
            t.slideActive = 1.0f;
            break;
        }
        case FxPortamento:
            t.slideActive = 1.0f;
            if (P != 0) {
                t.trackPitch += t.slideRate;
                t.slideRate = 0;
                t.portaRate = R * (static_cast<float>(P) * 0.25f);
            }
            break;
        case FxCutoff:
            for (int j = 0; j < t.activeCount; ++j)
                t.active(j).filter.cutoff.value = static_cast<float>(P) * kOneOver255;
            break;
        case FxTrackEcho:
            t.echoLength = truncToUnsigned(
                ((static_cast<float>(x * speed) / static_cast<float>(tempo)) * 125.0f + 1.0f) * 960.0f);
            t.echoAmount = static_cast<float>(y) * kOneOver15;
            break;
        case FxPulseWidth:
            for (int j = 0; j < t.activeCount; ++j)
                t.active(j).square.pulseWidth.value = static_cast<float>(P) * kOneOver255;
            break;
        case FxVolumeSlide:
            if (P != 0) {
                const int v = P > 15 ? x : -P;
                volumeSlide = R * 16.0f * (static_cast<float>(v) * kOneOver255);
            }
            break;
        case FxJump:
            jumpPos = P;
            break;
        case FxVolume:
            for (int j = 0; j < t.activeCount; ++j) t.active(j).volume = static_cast<float>(P) * kOneOver255;
            break;
        case FxBreak:
            breakRow = P;
            break;
        case FxExtended:
            switch (x) {
            case ExTrackMode:
                t.trackMode = y;
                break;
            case ExFineSlideUp:
            case ExFineSlideDown: {
                const float rate = R * (static_cast<float>(y) * 0.015625f);
                t.slideRate = x == ExFineSlideUp ? rate : -rate;
                t.portaTarget = 0;
                t.slideActive = 1.0f;
                break;
            }
            case ExTrackPan:
                t.trackPan = static_cast<float>(y) * kOneOver15;
                break;
            case ExTrackFold:
                t.trackFold = static_cast<float>(y) * 0.01f;
                break;
            case ExAutoRelease:
                t.releaseCountdown =
                    (truncToInt((125.0f / static_cast<float>(tempo)) * 960.0f) * 15) / (16 - y);
                break;
            default:
                break;
            }
            break;
        case FxSpeedTempo:
            if (P < 32) {
                speed = P;
                rowTimer =
                    truncToInt(((125.0f / static_cast<float>(tempo)) * static_cast<float>(P)) * 960.0f);
            } else {
                tempo = static_cast<uint8_t>(P);
            }
            break;
        default:
            break;
        }
    }
    for (int j = 0; j < t.activeCount; ++j) t.active(j).volumeSlide = volumeSlide;
}

} // namespace md
