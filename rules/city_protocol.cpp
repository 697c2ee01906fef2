#include "rules/city_protocol.h"

#include "base/crc32.h"

namespace zeph {
namespace {

void Scramble(uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        bytes[i] ^= static_cast<uint8_t>(kCityKey[i % kCityKey.size()]);
    }
}

void PutU16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t GetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

}  // namespace

CityRequest EncodeCityRequest(std::string_view machineId) {
    CityRequest request{};
    PutU16(request.data(), kCityRequestSize);
    for (size_t i = 0; i < 16 && i < machineId.size(); ++i) {
        request[8 + i] = static_cast<uint8_t>(machineId[i]);
    }
    Scramble(request.data() + kCityHeaderSize, kCityRequestSize - kCityHeaderSize);
    PutU32(request.data() + 2,
           Crc32(request.data() + kCityHeaderSize, kCityRequestSize - kCityHeaderSize));
    return request;
}

std::optional<std::string> DecodeCityAnswer(std::span<const uint8_t> answer) {
    if (answer.size() <= kCityHeaderSize) {
        return std::nullopt;
    }
    const auto body = answer.subspan(kCityHeaderSize);
    if (Crc32(body) != GetU32(answer.data() + 2)) {
        return std::nullopt;
    }
    std::string text(body.begin(), body.end());
    Scramble(reinterpret_cast<uint8_t*>(text.data()), text.size());
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    return text;
}

std::optional<std::string> DecodeCityRequest(std::span<const uint8_t> request) {
    if (request.size() != kCityRequestSize) {
        return std::nullopt;
    }
    const uint32_t length = request[0] | (request[1] << 8);
    if (length != kCityRequestSize) {
        return std::nullopt;
    }
    const auto body = request.subspan(kCityHeaderSize);
    if (Crc32(body) != GetU32(request.data() + 2)) {
        return std::nullopt;
    }
    CityRequest plain{};
    std::copy(request.begin(), request.end(), plain.begin());
    Scramble(plain.data() + kCityHeaderSize, kCityRequestSize - kCityHeaderSize);
    std::string id(reinterpret_cast<const char*>(plain.data() + 8), 16);
    const size_t nul = id.find('\0');
    if (nul != std::string::npos) {
        id.resize(nul);
    }
    return id;
}

std::string EncodeCityAnswer(std::string_view text) {
    std::string answer(kCityHeaderSize, '\0');
    answer.append(text);
    auto* bytes = reinterpret_cast<uint8_t*>(answer.data());
    PutU16(bytes, static_cast<uint32_t>(answer.size() & 0xFFFF));
    Scramble(bytes + kCityHeaderSize, text.size());
    PutU32(bytes + 2, Crc32(bytes + kCityHeaderSize, text.size()));
    return answer;
}

}  // namespace zeph
