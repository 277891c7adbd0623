#include "moviesaver/trailer.h"

#include <cstring>

const char TRAILER_MAGIC[4] = {'M', 'V', 'P', '2'};

PackageState CheckTrailer(const mvTrailer& trailer, DWORD bytesRead, DWORD fileSize) {
    if (bytesRead != TRAILER_SIZE || memcmp(trailer.magic, TRAILER_MAGIC, 4) != 0 || trailer.playerOffset == 0)
        return PackageState::None;
    if (fileSize < TRAILER_SIZE || trailer.playerEnd != fileSize - TRAILER_SIZE)
        return PackageState::Damaged;
    if (trailer.playerOffset >= trailer.playerEnd)
        return PackageState::Damaged;
    if (trailer.pictureOffset != 0 && trailer.pictureOffset >= trailer.playerOffset)
        return PackageState::Damaged;
    return PackageState::Valid;
}
