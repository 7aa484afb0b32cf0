// Entry point of the music disk.
#include "app/music_disk.h"

#include <SDL.h>

int main(int argc, char* argv[]) {
    md::MusicDisk disk;
    return disk.run(argc, argv);
}
