#include "base/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace zeph {

uint32_t Crc32(const void* data, size_t size, uint32_t seed) {
    auto crc = static_cast<uLong>(seed);
    const auto* p = static_cast<const Bytef*>(data);
    // zlib takes a uInt length; feed huge buffers in pieces.
    while (size > 0) {
        const auto chunk = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, p, chunk);
        p += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace zeph
