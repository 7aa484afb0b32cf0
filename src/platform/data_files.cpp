#include "platform/data_files.h"

#include <SDL.h>

#include <filesystem>
#include <system_error>

namespace md {

std::vector<std::string> dataFileFolders() {
    std::vector<std::string> folders{""};
    if (char* base = SDL_GetBasePath()) {
        folders.emplace_back(base);
#ifdef MD_DATA_DIR_FROM_BIN
        folders.push_back((std::filesystem::path(base) / MD_DATA_DIR_FROM_BIN).lexically_normal().string());
#endif
        SDL_free(base);
    }
#ifdef MD_DATA_DIR
    folders.emplace_back(MD_DATA_DIR);
#endif
    return folders;
}

std::string findDataFileIn(std::string_view name, const std::vector<std::string>& folders) {
    if (name.empty()) return {};
    for (const std::string& folder : folders) {
        std::filesystem::path path = folder.empty()
                                         ? std::filesystem::path(name)
                                         : std::filesystem::path(folder) / std::filesystem::path(name);
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path.string();
    }
    return {};
}

std::string findDataFile(std::string_view name) {
    return findDataFileIn(name, dataFileFolders());
}

std::string describeDataFileFolders() {
    std::string text;
    for (const std::string& folder : dataFileFolders()) {
        if (!text.empty()) text += ", ";
        text += folder.empty() ? std::string("the working directory") : folder;
    }
    return text;
}

} // namespace md
