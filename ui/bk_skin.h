// Skins: named ways of painting a rectangle from an image (or colours),
// choosing a sub-image by state and stretching it, nine-grid style, to the
// rectangle. UI thread only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/draw.h"
#include "ui/bk_object.h"

namespace zeph::ui {

using platform::Rect;
using platform::Size;

class CBkSkinBase : public CBkObject {
  public:
    using CBkObject::CBkObject;

    // The sub-image for `state` drawn at its own size at the rectangle's
    // top-left (or in parts limited to the rectangle).
    virtual void DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                             std::uint8_t opacity) = 0;
    // The sub-image for `state` stretched over the rectangle keeping the
    // nine-grid borders.
    virtual void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state,
                               bool dpiScaled, std::uint8_t opacity) = 0;
    // A source rectangle of the image into a destination rectangle.
    virtual void DrawPart(platform::DeviceContext&, const Rect&, const Rect&, std::uint8_t) {}
    // (0, 0) when the image could not be loaded or there is none.
    virtual Size GetSkinSize() const = 0;
    virtual bool IgnoresState() const = 0;

    // Loads the image on the first call; whether the skin has something to
    // draw.
    bool EnsureLoaded();
    bool IsLoaded() const { return m_loaded; }

  protected:
    virtual bool LoadImage() { return true; }

  private:
    bool m_loadTried = false;
    bool m_loaded = false;
};

// The sub-image index for a state: -1 counts as 0, others modulo the count.
int SubImageIndex(int state, int count);

class BkSkinPool {
  public:
    static BkSkinPool& Instance();

    // Destroys every skin.
    void Clear() { m_skins.clear(); }
    // Merges one skin list document (root "skins"); a name already defined
    // keeps its first definition, and a tag no kind answers to is skipped.
    bool LoadDocument(std::string_view utf8);
    // The skin without loading its image.
    CBkSkinBase* Find(std::string_view name) const;
    std::size_t Size() const { return m_skins.size(); }

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, std::unique_ptr<CBkSkinBase>, Hash, std::equal_to<>> m_skins;
};

// A skin kind made from its tag, or nullptr.
std::unique_ptr<CBkSkinBase> CreateSkin(std::string_view tag);

// The skin of that name, its image loaded on the first request; nullptr when
// no skin has the name.
CBkSkinBase* GetSkin(std::string_view name);
// Calls that accept a missing skin and then do nothing (size (0, 0)).
Size GetSkinSize(const CBkSkinBase* skin);
bool IgnoresState(const CBkSkinBase* skin);
void DrawStretched(CBkSkinBase* skin, platform::DeviceContext& dc, const Rect& rect, int state,
                   bool dpiScaled, std::uint8_t opacity);
void DrawNatural(CBkSkinBase* skin, platform::DeviceContext& dc, const Rect& rect, int state,
                 std::uint8_t opacity);

}  // namespace zeph::ui
