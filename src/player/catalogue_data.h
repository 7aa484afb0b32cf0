// The catalogue's build data: for each catalogue index, the song file's resource id and the row's texts.
// Generated from songs/catalogue.tsv by the build.
#pragma once

namespace md {

struct CatalogueRow {
    int resourceId;
    const char* fileName; // "_Title - Artist.tsk"
    const char* title;
    const char* artist;
};

constexpr int kCatalogueRows = 50;
extern const CatalogueRow catalogueRows[kCatalogueRows];

} // namespace md
