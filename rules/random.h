// Random numbers for the rules (file-name digits, the city share, fresh
// ids). One generator seeded once per process, so that two calls in the
// same millisecond still differ.
#pragma once

#include <cstdint>

namespace zeph {

// A number from 0 to bound - 1 (bound > 0). Any thread.
uint32_t RandomBelow(uint32_t bound);

}  // namespace zeph
