#include "player/fuzz.h"

#include "player/player.h"

#include <vector>

int PlayerFuzzOne(const uint8_t* data, size_t size) {
    mvPlayer player;
    int result = player.Load(data, size);
    if (result != SWF_OK)
        return result;
    std::vector<uint32_t> pixels(64 * 48);
    Canvas canvas{pixels.data(), 64, 48, 64};
    player.Start();
    for (int frame = 0; frame < 4; ++frame) {
        if (frame > 0)
            player.Step();
        player.Draw(canvas);
    }
    return result;
}
