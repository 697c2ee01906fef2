// Standard Base64 (A-Z a-z 0-9 + /, "=" padding).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

// Strict decoding, as the configuration documents require: the length must be
// a non-zero multiple of 4, every character must be of the alphabet, and "="
// may only pad the last group (one or two of them). Anything else decodes to
// an empty result.
std::vector<uint8_t> Base64Decode(std::string_view text);

std::string Base64Encode(std::span<const uint8_t> bytes);
inline std::string Base64Encode(std::string_view bytes) {
    return Base64Encode(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace zeph
