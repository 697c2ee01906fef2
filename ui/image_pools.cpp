// The image caches.
#include "ui/image_pools.h"

#include "platform/image.h"
#include "ui/resource_locator.h"

namespace zeph::ui {

std::shared_ptr<const platform::Bitmap> BkImagePool::Get(int number) {
    auto it = m_images.find(number);
    if (it != m_images.end()) {
        return it->second;
    }
    auto bytes = ResourceLocator::Instance().FindOne(m_type, number);
    if (!bytes) {
        return nullptr;
    }
    auto bitmap = platform::DecodeImage(
        {reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
    if (!bitmap) {
        return nullptr;
    }
    auto shared = std::make_shared<const platform::Bitmap>(std::move(*bitmap));
    m_images.emplace(number, shared);
    return shared;
}

BkPngPool& BkPngPool::Instance() {
    static BkPngPool pool;
    return pool;
}

BkJpgPool& BkJpgPool::Instance() {
    static BkJpgPool pool;
    return pool;
}

BkBmpPool& BkBmpPool::Instance() {
    static BkBmpPool pool;
    return pool;
}

}  // namespace zeph::ui
