// tsk analyze SONG [--seconds S] [--spectrogram OUT.png] [--waveform OUT.png] [--width N] [--json]: renders
// one pass of a song as the player does and reports what a composer checks: length, peaks, clipping,
// loudness, silences, how much each track sounds, the loudness of each order row, and pictures.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "analysis_picture.h"
#include "audio_analysis.h"
#include "cli.h"
#include "song/song_file.h"
#include "song_analysis.h"
#include "song_input.h"
#include "spectrum.h"

namespace {

const char kUsage[] =
    "usage: tsk analyze SONG [--seconds S] [--spectrogram OUT.png] [--waveform OUT.png] [--width N] "
    "[--json]\n"
    "\n"
    "Renders one pass of SONG (a song file or a song text) exactly as the player renders it, the frames "
    "that\n"
    "playback loops, and prints one 'key: value' line per measure:\n"
    "  length            the measured length and whether the song loops\n"
    "  sample_peak       the largest sample, dBFS (0 dBFS = 32767)\n"
    "  true_peak         the peak between samples (4x oversampled), dBTP\n"
    "  clipped           samples at +-32767, the limit of 16 bits\n"
    "  loudness          integrated loudness, LUFS (EBU R128, gated)\n"
    "  loudness_range    loudness range, LU (EBU R128)\n"
    "  silence           the longest near-silence: both channels below -60 dBFS, in 50 ms windows (the end\n"
    "                    of a looping song runs on into its start)\n"
    "  track_N           share of the 2 ms control blocks in which track N has a sounding voice, and the\n"
    "                    track's RMS level while it sounds, before the master gain\n"
    "  sections          the loudness of each order row as it plays: TIME #ROW LUFS\n"
    "  check             'ok', or one line per target missed: length 90-300 s, loops, loudness -16 to -12\n"
    "                    LUFS, at most 0.01 % clipped, no silence over 3 s, every track sounds\n"
    "\n"
    "  --seconds S          only the first S seconds (quick checks; length targets are not checked)\n"
    "  --spectrogram FILE   PNG of the spectrum over time (log frequency 30 Hz-20 kHz, colour = dB) with "
    "the\n"
    "                       short-term loudness below it and the order rows marked above\n"
    "  --waveform FILE      PNG of the left and right peak and RMS levels over time\n"
    "  --width N            pixels of the pictures' time axis (default 1200)\n"
    "  --json               the same measures as one JSON object\n";

std::string formatTime(double seconds) {
    if (!(seconds >= 0)) seconds = 0;
    const int whole = static_cast<int>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%05.2f", whole / 60, seconds - 60.0 * (whole / 60));
    return text;
}

std::string db(double v, const char* unit) {
    if (!std::isfinite(v)) return std::string("-inf ") + unit;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", v, unit);
    return text;
}

std::string json(double v, int decimals = 2) {
    if (!std::isfinite(v)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool parseNumber(const std::string& text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && value >= low && value <= high;
}

bool writePng(const std::string& path, const std::vector<uint8_t>& png) {
    std::string reason;
    if (!tsk::writeFileAtomic(path, png.data(), png.size(), &reason)) {
        tsk::fail(path, reason);
        return false;
    }
    return true;
}

} // namespace

int runAnalyze(int argc, char** argv) {
    double seconds = 0.0;
    double width = 1200;
    bool asJson = false;
    std::string spectrogramPath, waveformPath;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        const std::size_t eq = a.find('=');
        const std::string name = a.rfind("--", 0) == 0 && eq != std::string::npos ? a.substr(0, eq) : a;
        auto value = [&](std::string& out) {
            if (eq != std::string::npos && name != a) {
                out = a.substr(eq + 1);
                return true;
            }
            if (i + 1 >= argc) {
                std::cerr << "tsk analyze: " << name << " needs a value\n\n" << kUsage;
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (name == "--json") {
            asJson = true;
        } else if (name == "--seconds") {
            if (!value(v)) return tsk::kExitFailure;
            if (!parseNumber(v, 0.001, 3600.0, seconds))
                return tsk::fail(
                    "analyze: --seconds wants a number of seconds above 0 and at most 3600, not '" + v + "'");
        } else if (name == "--width") {
            if (!value(v)) return tsk::kExitFailure;
            if (!parseNumber(v, 100, 20000, width) || width != std::floor(width))
                return tsk::fail("analyze: --width wants a whole number of pixels from 100 to 20000, not '" +
                                 v + "'");
        } else if (name == "--spectrogram") {
            if (!value(spectrogramPath)) return tsk::kExitFailure;
        } else if (name == "--waveform") {
            if (!value(waveformPath)) return tsk::kExitFailure;
        } else {
            rest.push_back(argv[i]);
        }
    }
    tsk::Arguments args;
    if (!tsk::parseArguments(static_cast<int>(rest.size()), rest.data(), false, kUsage, args))
        return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    const std::string& input = args.positional[0];

    md::LoadedSong loaded;
    if (!tsk::loadSongArgument(input, loaded)) return tsk::kExitFailure;
    md::SongFileHeader header;
    md::readSongHeader(loaded.bytes.data(), loaded.bytes.size(), header);
    const std::string title = header.title.empty() ? tsk::baseName(input) : header.title;

    tsk::SongPass pass;
    tsk::renderSongPass(loaded, seconds, pass);
    const bool whole = pass.frames == pass.songFrames;
    const double analysedSeconds = static_cast<double>(pass.frames) / md::sampleRate;

    tsk::MeasureOptions options;
    options.cyclic = whole && pass.measure.loops;
    options.sections = pass.sections;
    tsk::PictureSize size;
    size.plotWidth = static_cast<int>(width);
    if (!spectrogramPath.empty()) options.shortTermPoints = static_cast<std::size_t>(size.plotWidth);

    // The loudness meter and the spectrum of the picture run side by side.
    tsk::AudioMeasures m;
    bool measured = false;
    std::thread measuring(
        [&] { measured = tsk::measureAudio(pass.samples.data(), pass.frames, options, m); });
    const tsk::SpectrogramLayout layout = tsk::spectrogramLayout(size);
    tsk::SpectrogramGrid grid;
    if (!spectrogramPath.empty())
        grid = tsk::computeSpectrogram(pass.samples.data(), pass.frames, layout.plotWidth, layout.plotHeight,
                                       layout.minHz, layout.maxHz);
    measuring.join();
    if (!measured) return tsk::fail("analyze: the loudness meter could not be set up");

    // Targets of a finished song.
    std::vector<std::string> misses;
    char text[200];
    if (whole) {
        if (pass.measure.seconds < 90.0f || pass.measure.seconds > 300.0f) {
            std::snprintf(text, sizeof text, "length %.1f s is outside 90-300 s", pass.measure.seconds);
            misses.push_back(text);
        }
        if (!pass.measure.loops) misses.push_back("the song never loops back");
    }
    // Judged at the tenth of a LU that is shown.
    const double shownLoudness = std::round(m.loudness * 10.0) / 10.0;
    if (!(shownLoudness >= -16.0 && shownLoudness <= -12.0)) {
        std::snprintf(text, sizeof text, "loudness %s is outside -16 to -12 LUFS (aim for -14)",
                      db(m.loudness, "LUFS").c_str());
        misses.push_back(text);
    }
    const double clippedPercent =
        pass.frames ? 100.0 * static_cast<double>(m.clipped) / (2.0 * pass.frames) : 0.0;
    if (clippedPercent > 0.01) {
        std::snprintf(text, sizeof text, "%.4f %% of the samples are at +-32767 (at most 0.01 %%)",
                      clippedPercent);
        misses.push_back(text);
    }
    const double silenceSeconds = static_cast<double>(m.silence.frames) / md::sampleRate;
    const double silenceStart = static_cast<double>(m.silence.startFrame) / md::sampleRate;
    if (silenceSeconds > 3.0) {
        std::snprintf(text, sizeof text, "silence of %.2f s at %s (more than 3 s)", silenceSeconds,
                      formatTime(silenceStart).c_str());
        misses.push_back(text);
    }
    for (int k = 0; k < pass.trackCount && whole; ++k)
        if (pass.tracks[k].activeBlocks == 0) {
            std::snprintf(text, sizeof text, "track %d never sounds", k + 1);
            misses.push_back(text);
        }

    // The pictures are written after the report, so that a bad picture path loses no measures.
    auto writePictures = [&]() -> int {
        if (spectrogramPath.empty() && waveformPath.empty()) return 0;
        tsk::PictureInfo info;
        info.title = title;
        info.sections = pass.sections;
        info.shortTerm = m.shortTerm;
        char subtitle[160];
        std::snprintf(subtitle, sizeof subtitle, "%s%s   %s   range %s   peak %s",
                      tsk::minutesSeconds(analysedSeconds).c_str(), whole ? "" : " (the start)",
                      db(m.loudness, "LUFS").c_str(), db(m.loudnessRange, "LU").c_str(),
                      db(m.samplePeakDb, "dBFS").c_str());
        info.subtitle = subtitle;
        std::vector<uint8_t> png;
        std::string error;
        if (!spectrogramPath.empty()) {
            if (!tsk::spectrogramPng(grid, pass.frames, info, size, png, &error))
                return tsk::fail(spectrogramPath, error);
            if (!writePng(spectrogramPath, png)) return tsk::kExitFailure;
        }
        if (!waveformPath.empty()) {
            if (!tsk::waveformPng(pass.samples.data(), pass.frames, info, size, png, &error))
                return tsk::fail(waveformPath, error);
            if (!writePng(waveformPath, png)) return tsk::kExitFailure;
        }
        return 0;
    };

    if (asJson) {
        std::string out = "{\n";
        out += "  \"file\": " + jsonString(input) + ",\n";
        out += "  \"title\": " + jsonString(header.title) + ",\n";
        out += "  \"length_seconds\": " + json(pass.measure.seconds, 3) + ",\n";
        out += "  \"loops\": " + std::string(pass.measure.loops ? "true" : "false") + ",\n";
        out += "  \"analysed_seconds\": " + json(analysedSeconds, 3) + ",\n";
        out += "  \"whole_song\": " + std::string(whole ? "true" : "false") + ",\n";
        out += "  \"sample_peak_dbfs\": " + json(m.samplePeakDb) + ",\n";
        out += "  \"true_peak_dbtp\": " + json(m.truePeakDb) + ",\n";
        out += "  \"clipped_samples\": " + std::to_string(m.clipped) + ",\n";
        out += "  \"clipped_percent\": " + json(clippedPercent, 5) + ",\n";
        out += "  \"loudness_lufs\": " + json(m.loudness) + ",\n";
        out += "  \"loudness_range_lu\": " + json(m.loudnessRange) + ",\n";
        out += "  \"silence_seconds\": " + json(silenceSeconds, 3) + ",\n";
        out += "  \"silence_start_seconds\": " + json(silenceStart, 3) + ",\n";
        out += "  \"tracks\": [";
        for (int k = 0; k < pass.trackCount; ++k)
            out += std::string(k ? ", " : "") + "{\"track\": " + std::to_string(k + 1) +
                   ", \"active_percent\": " + json(pass.activePercent(k), 1) +
                   ", \"rms_db\": " + json(pass.activeLevelDb(k), 1) + "}";
        out += "],\n  \"sections\": [";
        for (std::size_t s = 0; s < m.sections.size(); ++s)
            out += std::string(s ? ", " : "") + "{\"order_row\": " + std::to_string(m.sections[s].orderRow) +
                   ", \"start_seconds\": " +
                   json(static_cast<double>(m.sections[s].startFrame) / md::sampleRate, 3) +
                   ", \"loudness_lufs\": " + json(m.sections[s].loudness, 1) + "}";
        out += "],\n  \"checks\": [";
        for (std::size_t i = 0; i < misses.size(); ++i)
            out += std::string(i ? ", " : "") + jsonString(misses[i]);
        out += "]\n}\n";
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        return writePictures();
    }

    std::printf("song: %s\n", title.c_str());
    std::printf("length: %s (%.3f s)\n", tsk::minutesSeconds(pass.measure.seconds).c_str(),
                pass.measure.seconds);
    if (pass.measure.loops)
        std::printf("loops: yes, back to order row %d\n", loaded.song.restartPos);
    else
        std::printf("loops: no (cut at 470 s)\n");
    if (!whole) std::printf("analysed: the first %.3f s\n", analysedSeconds);
    std::printf("sample_peak: %s\n", db(m.samplePeakDb, "dBFS").c_str());
    std::printf("true_peak: %s\n", db(m.truePeakDb, "dBTP").c_str());
    std::printf("clipped: %llu samples (%.4f %%)\n", static_cast<unsigned long long>(m.clipped),
                clippedPercent);
    std::printf("loudness: %s\n", db(m.loudness, "LUFS").c_str());
    std::printf("loudness_range: %.1f LU\n", m.loudnessRange);
    if (m.silence.frames)
        std::printf("silence: %.2f s at %s\n", silenceSeconds, formatTime(silenceStart).c_str());
    else
        std::printf("silence: none\n");
    for (int k = 0; k < pass.trackCount; ++k)
        std::printf("track_%d: %.1f %% sounding, %s rms\n", k + 1, pass.activePercent(k),
                    db(pass.activeLevelDb(k), "dB").c_str());
    std::string sections;
    for (std::size_t s = 0; s < m.sections.size(); ++s) {
        const double start = static_cast<double>(m.sections[s].startFrame) / md::sampleRate;
        const std::string loud =
            std::isfinite(m.sections[s].loudness) ? json(m.sections[s].loudness, 1) : "-inf";
        sections += (s ? ", " : "") + tsk::minutesSeconds(start) + " #" +
                    std::to_string(m.sections[s].orderRow) + " " + loud;
    }
    std::printf("sections: %s\n", sections.c_str());
    if (misses.empty()) std::printf("check: ok\n");
    for (const std::string& miss : misses) std::printf("check: %s\n", miss.c_str());
    std::fflush(stdout);
    return writePictures();
}
