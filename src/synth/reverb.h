// Stereo reverberator: eight parallel low-pass-feedback combs and four series all-passes per channel (even
// indices left, odd right), fed by the mono send of one run and controlled by the song's four signed bytes.
#pragma once

#include <cstdint>

namespace md {

struct StereoFrame {
    float left, right;
};

struct ReverbSettings {
    int8_t room = 0, damp = 0, width = 0, gain = 0;
};

class Reverb {
  public:
    static constexpr int kCombs = 16;
    static constexpr int kAllPasses = 8;
    static constexpr int kCombLength[kCombs] = {1116, 1139, 1188, 1211, 1277, 1300, 1356, 1379,
                                                1422, 1445, 1491, 1514, 1557, 1580, 1617, 1640};
    static constexpr int kAllPassLength[kAllPasses] = {556, 579, 441, 464, 341, 364, 225, 248};
    static constexpr int kMemorySize = 25450;

    Reverb();
    void clear();
    // Adds the reverb of send[0..count) into mix[0..count).
    void apply(const ReverbSettings& settings, const float* send, StereoFrame* mix, int count);

    // True once the delay memory has been found all zero with no input since: the reverb then adds nothing.
    bool quiet() const { return quiet_; }

  private:
    struct Params {
        float feedback, damp1, damp2, wet1, wet2, g;
    };
    template <bool Flush> void run(const Params& p, const float* send, StereoFrame* mix, int count);
    bool allZero() const;

    int combPos_[kCombs];
    float combStore_[kCombs];
    int allPassPos_[kAllPasses];
    float memory_[kMemorySize];
    float* comb_[kCombs];
    float* allPass_[kAllPasses];
    bool quiet_ = true;    // memory all zero and no input since
    int silentFrames_ = 0; // frames of zero input since the memory was last checked
};

} // namespace md
