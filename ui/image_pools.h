// Decoded images by number, one cache per image type. Each image is decoded
// once and shared by the skins that show it. UI thread only.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "platform/draw.h"

namespace zeph::ui {

class BkImagePool {
  public:
    // nullptr when no resource or folder file of that number decodes.
    std::shared_ptr<const platform::Bitmap> Get(int number);
    void Clear() { m_images.clear(); }
    std::size_t Size() const { return m_images.size(); }

  protected:
    explicit BkImagePool(const char* type) : m_type(type) {}

  private:
    const char* m_type;  // the resource type word: "png", "jpg", "bmp"
    std::unordered_map<int, std::shared_ptr<const platform::Bitmap>> m_images;
};

class BkPngPool : public BkImagePool {
  public:
    static BkPngPool& Instance();

  private:
    BkPngPool() : BkImagePool("png") {}
};

class BkJpgPool : public BkImagePool {
  public:
    static BkJpgPool& Instance();

  private:
    BkJpgPool() : BkImagePool("jpg") {}
};

class BkBmpPool : public BkImagePool {
  public:
    static BkBmpPool& Instance();

  private:
    BkBmpPool() : BkImagePool("bmp") {}
};

}  // namespace zeph::ui
