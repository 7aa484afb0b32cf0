// Sweep: a ping-pong modulator between two bounds inside [0, 1]. Drives the square's pulse width (advanced
// per sample) and the filter cutoff (advanced per control tick).
#pragma once

#include <cmath>

namespace md {

struct Sweep {
    float value = 0; // current position
    float low = 0;   // lower bound
    float high = 0;  // upper bound
    float step = 0;  // signed rate, in units per `speed`
    float speed = 0; // time unit multiplying `step`

    void advance() {
        const float old = value;
        value = old + step * speed;
        if (step > 0) {
            if (old <= high && value >= high) {
                value = high;
                step = (high == low) ? 0.0f : -step;
            } else if (old <= 1.0f && value >= 1.0f) {
                value = 1.0f;
                step = -step;
            }
        }
        // Not an else: this sees a step that the test above has just turned.
        if (step <= 0) {
            if (old >= low && value <= low) {
                value = low;
                step = (high == low) ? 0.0f : std::fabs(step);
            } else if (old >= 0.0f && value <= 0.0f) {
                value = 0.0f;
                step = std::fabs(step);
            }
        }
    }
};

} // namespace md
