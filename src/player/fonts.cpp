#include "player/fonts.h"

#include "platform/data_files.h"

#include <SDL.h>

#include <mutex>
#include <set>
#include <string>

namespace md {

namespace {

// Reports a font problem once per file name.
void reportOnce(const char* fileName, const std::string& line) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> guard(mutex);
    if (reported.insert(fileName).second) SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "%s", line.c_str());
}

void reportMissing(const char* fileName) {
    reportOnce(fileName, std::string("Font file \"") + fileName + "\" not found; looked in " +
                             describeDataFileFolders() + ".");
}

} // namespace

TTF_Font* openFont(const char* fileName, int pointSize) {
    std::string path = findDataFile(fileName);
    if (path.empty()) {
        reportMissing(fileName);
        return nullptr;
    }
    TTF_Font* font = TTF_OpenFont(path.c_str(), pointSize);
    if (font == nullptr) {
        reportOnce(fileName,
                   std::string("Font file \"") + path + "\" could not be opened: " + TTF_GetError());
    }
    return font;
}

bool checkFonts() {
    bool complete = true;
    for (const char* fileName : {kTitleFontFile, kInfoFontFile}) {
        if (findDataFile(fileName).empty()) {
            reportMissing(fileName);
            complete = false;
        }
    }
    return complete;
}

} // namespace md
