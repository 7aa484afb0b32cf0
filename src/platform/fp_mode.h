// Floating-point environment for the renderer: denormal operands and results flush to zero.
#pragma once

#include <xmmintrin.h>

namespace md {

// Sets the flush-to-zero and denormals-are-zero bits of MXCSR; every other bit of the control word stays as
// it was. Returns the previous control word so a caller can put it back.
inline unsigned int enableFlushToZero() {
    unsigned int previous = _mm_getcsr();
    _mm_setcsr(previous | 0x8040u); // FTZ (bit 15) | DAZ (bit 6)
    return previous;
}

inline void restoreFloatMode(unsigned int saved) {
    _mm_setcsr(saved);
}

} // namespace md
