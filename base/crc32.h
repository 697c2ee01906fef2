// CRC-32 (the zlib polynomial), chainable through the seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zeph {

uint32_t Crc32(const void* data, size_t size, uint32_t seed = 0);

inline uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t seed = 0) {
    return Crc32(bytes.data(), bytes.size(), seed);
}

}  // namespace zeph
