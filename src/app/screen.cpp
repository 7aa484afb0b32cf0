#include "app/screen.h"

namespace md {

int32_t screenWidth = 960;
int32_t screenHeight = 540;
bool fullscreenMode = false;
uint32_t frameTicks = 0;

} // namespace md
