#include "player/catalogue.h"

#include "player/labels.h"
#include "player/player_state.h"
#include "player/resources.h"
#include "song/song.h"
#include "song/song_file.h"
#include "synth/engine.h"

#include <utility>

namespace md {

Music* catalogue[kCatalogueSlots] = {};
int catalogueCount = 0;

namespace {

SongSource embeddedSongs() {
    return {[](int id) { return musicResourceSize(id); }, [](int id) { return loadMusicResource(id); }};
}

SongSource& songSource() {
    static SongSource source = embeddedSongs();
    return source;
}

} // namespace

void setSongSource(SongSource source) {
    songSource() = std::move(source);
}

void resetSongSource() {
    songSource() = embeddedSongs();
}

Music::Music(int resourceId_, const char* fileName_, const char* title_, const char* artist_)
    : fileName(fileName_ != nullptr ? fileName_ : ""), title(title_ != nullptr ? title_ : ""),
      artist(artist_ != nullptr ? artist_ : ""), resourceId(resourceId_) {}

Music::~Music() {
    for (SDL_Surface* label : {titleLabel, titleLabelLit, artistLabel, artistLabelLit, sizeLabel, timeLabel})
        SDL_FreeSurface(label);
}

bool prepareSong(int resourceId) {
    PlayerState& ps = playerState;
    // The Engine reads the Song and the Song reads the file's bytes: the Engine goes first, so that nothing
    // is left pointing at a released Song, even when this preparation fails.
    if (ps.currentEngine) {
        ps.currentEngine->stop();
        ps.currentEngine.reset();
    }
    ps.songBytes.reset();
    ps.songByteCount = 0;
    ps.currentSong.reset();
    ps.currentSong = std::make_unique<Song>();

    const SongSource& source = songSource();
    const int32_t size = source.size ? source.size(resourceId) : 0;
    ps.songBytes.reset(source.load ? source.load(resourceId) : nullptr);
    if (!ps.songBytes || size <= 0) return false;
    ps.songByteCount = size;
    if (!parseSong(*ps.currentSong, ps.songBytes.get(), static_cast<std::size_t>(size))) return false;

    ps.currentEngine = std::make_unique<Engine>();
    ps.currentEngine->setup(ps.currentSong.get());
    return true;
}

void addCatalogueEntry(SDL_Surface* surface, int index, int resourceId, const char* fileName,
                       const char* title, const char* artist) {
    if (index < 0 || index >= kCatalogueSlots) return;
    auto entry = std::make_unique<Music>(resourceId, fileName, title, artist);
    const SongSource& source = songSource();
    entry->resourceSize = source.size ? source.size(resourceId) : 0;
    entry->lengthSeconds = prepareSong(resourceId) ? playerState.currentEngine->measureLength() : 0.0f;
    renderLabels(surface, *entry);
    delete catalogue[index];
    catalogue[index] = entry.release();
}

void buildCatalogue(SDL_Surface* surface, std::span<const CatalogueRow> rows) {
    catalogueCount = 0;
    const int count = rows.size() < kCatalogueSlots ? static_cast<int>(rows.size()) : kCatalogueSlots;
    for (int i = 0; i < count; ++i)
        addCatalogueEntry(surface, i, rows[i].resourceId, rows[i].fileName, rows[i].title, rows[i].artist);
    closeLabelFonts();
    catalogueCount = count;
}

void destroyCatalogue() {
    catalogueCount = 0;
    for (Music*& entry : catalogue) {
        delete entry;
        entry = nullptr;
    }
}

int findRowAt(int y) {
    for (int i = 0; i < catalogueCount; ++i) {
        const Music* e = catalogue[i];
        if (e != nullptr && e->rowTop <= y && y <= e->rowTop + e->rowHeight) return i;
    }
    return kNoRow;
}

} // namespace md
