#include "app/front_end_images.h"

namespace md {

void FrontEndImages::loadRest(const ImageLoader& load) {
    introPicture = load(kIntroPictureId);
    whitePanel = load(kWhitePanelId);
    titleLogoIntro = load(kTitleLogoId);
    titleLogo = load(kTitleLogoId);
    makerLogo = load(kMakerLogoId);
    listShade = load(kListShadeId);
    readyIcon = load(kReadyIconId);
    busyIcon = load(kBusyIconId);
}

void FrontEndImages::freeAll() {
    for (SDL_Surface** image : {&wobbleSprite, &introPicture, &whitePanel, &titleLogoIntro, &titleLogo,
                                &makerLogo, &listShade, &readyIcon, &busyIcon}) {
        SDL_FreeSurface(*image);
        *image = nullptr;
    }
}

} // namespace md
