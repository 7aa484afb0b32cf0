#include "platform/priority.h"

#include <SDL.h>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif

namespace md {

namespace {
// The nice value of a high-priority process.
constexpr int kHighProcessNice = -10;
} // namespace

void raiseThreadPriority() {
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
}

void raiseProcessPriority() {
#if defined(__unix__) || defined(__APPLE__)
    (void)setpriority(PRIO_PROCESS, 0, kHighProcessNice);
#endif
}

} // namespace md
