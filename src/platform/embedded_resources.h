// Data compiled into the program: the song files and the images, each found by its type name and a 16-bit
// id. The bytes are read-only and stay valid for the life of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace md {

struct EmbeddedResource {
    const char* type; // upper case, for example "MUSIC" or "PNG"
    uint16_t id;
    const unsigned char* begin;
    const unsigned char* end;
};

struct ResourceBytes {
    const unsigned char* data;
    std::size_t size;
};

// The program's own table, written by the build (cmake/Resources.cmake).
std::span<const EmbeddedResource> embeddedResourceTable();

// The entry of `table` with this type name, compared without regard to case, and this id. Ids outside
// 0 to 65535 find nothing.
std::optional<ResourceBytes> findResourceIn(std::span<const EmbeddedResource> table, std::string_view type,
                                            int id);

// The same, in the program's own table.
std::optional<ResourceBytes> findResource(std::string_view type, int id);

} // namespace md
