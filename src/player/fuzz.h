// The fuzz entry point of the SWF reader and renderer: loads arbitrary bytes
// as a movie, plays a few frames and draws each at a small size. Returns the
// load result (SWF_OK or an SWF_ERR_ code); any crash, hang or runaway
// allocation on the way is the fault being looked for.
#pragma once

#include <cstddef>
#include <cstdint>

int PlayerFuzzOne(const uint8_t* data, size_t size);
