// Image decoding through gdk-pixbuf. The library hands out straight
// (non-premultiplied) RGBA bytes; bitmaps hold premultiplied ARGB words.
#include "platform/image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace zeph::platform {

namespace {

std::optional<Bitmap> FromPixbuf(GdkPixbuf* pixbuf) {
    if (pixbuf == nullptr || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
        gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
        return std::nullopt;
    }
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    const int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
    if (width <= 0 || height <= 0 || channels < (alpha ? 4 : 3)) {
        return std::nullopt;
    }
    Bitmap bitmap(width, height);
    if (bitmap.IsEmpty()) {
        return std::nullopt;
    }
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < height; ++y) {
        const guchar* src = pixels + static_cast<std::ptrdiff_t>(y) * rowstride;
        std::uint32_t* dst = bitmap.Row(y);
        for (int x = 0; x < width; ++x, src += channels) {
            const unsigned a = alpha ? src[3] : 255;
            // Rounded premultiplication: (c * a + 127) / 255.
            auto pre = [a](unsigned c) { return (c * a + 127) / 255; };
            dst[x] = (a << 24) | (pre(src[0]) << 16) | (pre(src[1]) << 8) | pre(src[2]);
        }
    }
    bitmap.MarkDirty();
    return bitmap;
}

}  // namespace

std::optional<Bitmap> DecodeImage(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return std::nullopt;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GError* error = nullptr;
    bool ok = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), &error) != 0;
    if (error != nullptr) {
        g_error_free(error);
        error = nullptr;
    }
    // Closing is required even after a failed write.
    ok = (gdk_pixbuf_loader_close(loader, &error) != 0) && ok;
    if (error != nullptr) {
        g_error_free(error);
    }
    std::optional<Bitmap> result;
    if (ok) {
        result = FromPixbuf(gdk_pixbuf_loader_get_pixbuf(loader));
    }
    g_object_unref(loader);
    return result;
}

std::optional<Bitmap> DecodeImageFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    return DecodeImage(bytes);
}

}  // namespace zeph::platform
