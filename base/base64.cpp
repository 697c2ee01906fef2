#include "base/base64.h"

#include <array>

namespace zeph {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeReverse() {
    std::array<int8_t, 256> table{};
    for (auto& v : table) {
        v = -1;
    }
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    }
    return table;
}

constexpr auto kReverse = MakeReverse();

}  // namespace

std::vector<uint8_t> Base64Decode(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) {
        return {};
    }
    size_t pads = 0;
    if (text.back() == '=') {
        pads = text[text.size() - 2] == '=' ? 2 : 1;
    }
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    const size_t dataChars = text.size() - pads;
    uint32_t group = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int value = 0;
        if (i < dataChars) {
            value = kReverse[static_cast<unsigned char>(text[i])];
            if (value < 0) {
                return {};
            }
        }
        group = (group << 6) | static_cast<uint32_t>(value);
        if (i % 4 == 3) {
            out.push_back(static_cast<uint8_t>(group >> 16));
            out.push_back(static_cast<uint8_t>(group >> 8));
            out.push_back(static_cast<uint8_t>(group));
            group = 0;
        }
    }
    out.resize(out.size() - pads);
    return out;
}

std::string Base64Encode(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(kAlphabet[(group >> 6) & 63]);
        out.push_back(kAlphabet[group & 63]);
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t group = bytes[i] << 16;
        if (rest == 2) {
            group |= bytes[i + 1] << 8;
        }
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

}  // namespace zeph
