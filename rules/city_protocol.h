// The binary protocol of the city service, both sides: the installer sends a
// 28-byte request carrying a machine id and gets back the machine's city
// record, a JSON text. Both directions are scrambled with the 16-character
// city key and checked with a CRC-32 (zlib's) over the scrambled bytes.
//
//   request (little-endian)        answer
//   0  u16  total length (28)      0  u16  total length (low 16 bits)
//   2  u32  CRC-32 of bytes 6-27   2  u32  CRC-32 of bytes 6-end
//   6  u16  0                      6  ...  the text
//   8  16   the first 16 bytes of the machine id (zero-filled)
//   24 u32  0
//   bytes 6 to the end are XORed with key[i % 16], i counted from byte 6.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zeph {

inline constexpr std::string_view kCityKey = "TpWmYdKxRbQeJfUa";
inline constexpr size_t kCityRequestSize = 28;
inline constexpr size_t kCityHeaderSize = 6;

using CityRequest = std::array<uint8_t, kCityRequestSize>;

// Client side.
CityRequest EncodeCityRequest(std::string_view machineId);
// The answer's text (up to a NUL byte), or nullopt when it is too short or
// its checksum does not match.
std::optional<std::string> DecodeCityAnswer(std::span<const uint8_t> answer);
inline std::optional<std::string> DecodeCityAnswer(std::string_view answer) {
    return DecodeCityAnswer(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(answer.data()), answer.size()));
}

// Server side.
// The 16 id bytes (trailing NULs removed), or nullopt for a request of the
// wrong size, length field or checksum.
std::optional<std::string> DecodeCityRequest(std::span<const uint8_t> request);
std::string EncodeCityAnswer(std::string_view text);

}  // namespace zeph
