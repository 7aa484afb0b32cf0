#include "platform/embedded_resources.h"

#include <cstring>

namespace md {

namespace {

bool sameTypeName(std::string_view a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

} // namespace

std::optional<ResourceBytes> findResourceIn(std::span<const EmbeddedResource> table, std::string_view type,
                                            int id) {
    if (id < 0 || id > 0xFFFF) return std::nullopt;
    for (const EmbeddedResource& entry : table) {
        if (entry.id == id && sameTypeName(type, entry.type)) {
            return ResourceBytes{entry.begin, static_cast<std::size_t>(entry.end - entry.begin)};
        }
    }
    return std::nullopt;
}

std::optional<ResourceBytes> findResource(std::string_view type, int id) {
    return findResourceIn(embeddedResourceTable(), type, id);
}

} // namespace md
