// Image decoding: PNG, JPEG, BMP and ICO (and whatever else the image library
// reads) into premultiplied bitmaps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/draw.h"

namespace zeph::platform {

// Nothing for bytes that do not decode (or decode to an empty image).
std::optional<Bitmap> DecodeImage(std::span<const std::uint8_t> bytes);
std::optional<Bitmap> DecodeImageFile(const std::filesystem::path& path);

}  // namespace zeph::platform
