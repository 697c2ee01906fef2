// The skin kinds, by tag: picture skins over PNG and JPEG images (png, jpg,
// skinpng, skinjpg), bitmap skins (imglst, imgframe, imghorzex) and the
// colour skins (button, gradation).
#pragma once

#include <optional>

#include "ui/bk_skin.h"
#include "ui/image_pools.h"
#include "ui/notation.h"

namespace zeph::ui {

// A PNG picture: a horizontal strip of `subwidth`-wide sub-images, drawn
// from an offset (`left`, `top`) with nine-grid margins.
class CBkPngSkin : public CBkSkinBase {
  public:
    CBkPngSkin() : CBkSkinBase("png") {}

    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                     std::uint8_t opacity) override;
    void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool dpiScaled,
                       std::uint8_t opacity) override;
    void DrawPart(platform::DeviceContext& dc, const Rect& source, const Rect& dest,
                  std::uint8_t opacity) override;
    Size GetSkinSize() const override;
    bool IgnoresState() const override { return m_subWidth == 0; }

    int SubCount() const;

  protected:
    explicit CBkPngSkin(const char* tag) : CBkSkinBase(tag) {}
    bool LoadImage() override;
    virtual BkImagePool& Pool() { return BkPngPool::Instance(); }
    // The opacity the kind adds to every draw.
    virtual std::uint8_t OwnOpacity() const { return 255; }
    // The image as drawn: mirrored or rotated when asked.
    const platform::Bitmap* Picture();

    int m_src = 0;
    int m_subWidth = 0;
    int m_left = 0;
    int m_top = 0;
    int m_marginLeft = 0;
    int m_marginRight = 0;
    int m_marginTop = 0;
    int m_marginBottom = 0;
    int m_flipType = 0;
    int m_middleTile = 0;
    std::shared_ptr<const platform::Bitmap> m_image;

  private:
    std::optional<platform::Bitmap> m_flipped;
    std::optional<platform::Bitmap> m_scaled;
    double m_scaledFactor = 0;
};

// A JPEG picture with the placement attributes of a PNG skin.
class CBkJpgSkin : public CBkPngSkin {
  public:
    CBkJpgSkin() : CBkPngSkin("jpg") {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;

  protected:
    BkImagePool& Pool() override { return BkJpgPool::Instance(); }
};

// A PNG picture that may come from a file, with its own opacity (or one
// read from the program's skin settings file).
class CBkNormalPngSkin : public CBkPngSkin {
  public:
    CBkNormalPngSkin() : CBkPngSkin("skinpng") {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;

  protected:
    explicit CBkNormalPngSkin(const char* tag) : CBkPngSkin(tag) {}
    bool LoadImage() override;
    std::uint8_t OwnOpacity() const override { return m_opacity; }

    std::string m_file;
    int m_alpha = 255;
    std::string m_externAlphaKey;
    std::uint8_t m_opacity = 255;
};

class CBkNormalJPGSkin : public CBkNormalPngSkin {
  public:
    CBkNormalJPGSkin() : CBkNormalPngSkin("skinjpg") {}

  protected:
    BkImagePool& Pool() override { return BkJpgPool::Instance(); }
};

// Sub-images of a bitmap with a transparency mode: none (opaque), mask (one
// colour is transparent) or alpha (the bitmap's own).
class CBkImageSkin : public CBkSkinBase {
  public:
    CBkImageSkin() : CBkSkinBase("imglst") {}

    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                     std::uint8_t opacity) override;
    void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool dpiScaled,
                       std::uint8_t opacity) override;
    void DrawPart(platform::DeviceContext& dc, const Rect& source, const Rect& dest,
                  std::uint8_t opacity) override;
    Size GetSkinSize() const override;
    bool IgnoresState() const override { return m_subWidth == 0; }

  protected:
    explicit CBkImageSkin(const char* tag) : CBkSkinBase(tag) {}
    bool LoadImage() override;
    // The source rectangle of the sub-image for a state.
    Rect SubImage(int state) const;

    int m_src = 0;
    int m_mode = 0;  // 0 none, 1 mask, 2 alpha
    Colorref m_maskColor = kNoColor;
    int m_subWidth = 0;
    int m_stretchX = 1;
    int m_stretchY = 1;
    std::optional<platform::Bitmap> m_bitmap;  // after the transparency mode
};

// A bitmap frame: fixed edges of `left` and `top` pixels, a stretched or
// coloured centre, optionally only one row or column of it.
class CBkSkinImgFrame : public CBkImageSkin {
  public:
    CBkSkinImgFrame() : CBkImageSkin("imgframe") {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool dpiScaled,
                       std::uint8_t opacity) override;

  private:
    Colorref m_crBg = kNoColor;
    int m_edgeX = 0;
    int m_edgeY = 0;
    enum class Part { All, Top, Middle, Bottom, Left, Center, Right } m_part = Part::All;
};

// A bitmap with fixed left and right ends of `left` pixels and a stretched
// middle.
class CBkSkinImgHorzExtend : public CBkImageSkin {
  public:
    CBkSkinImgHorzExtend() : CBkImageSkin("imghorzex") {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool dpiScaled,
                       std::uint8_t opacity) override;

  private:
    int m_fixed = 0;
};

// A button drawn from colours: up or down (checked), each with hover and
// push variants, and an optional border.
class CBkSkinButton : public CBkSkinBase {
  public:
    CBkSkinButton() : CBkSkinBase("button") {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                     std::uint8_t opacity) override;
    void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool dpiScaled,
                       std::uint8_t opacity) override;
    Size GetSkinSize() const override { return {}; }
    bool IgnoresState() const override { return false; }

  private:
    Colorref m_bg = kNoColor;
    Colorref m_border = kNoColor;
    Colorref m_up = kNoColor;
    Colorref m_upHover = kNoColor;
    Colorref m_upPush = kNoColor;
    Colorref m_down = kNoColor;
    Colorref m_downHover = kNoColor;
    Colorref m_downPush = kNoColor;
    int m_useBorder = 0;
};

// A linear gradient from one colour to another over `size` pixels.
class CBkSkinGradation : public CBkSkinBase {
  public:
    CBkSkinGradation() : CBkSkinBase("gradation") {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void DrawNatural(platform::DeviceContext& dc, const Rect& rect, int state,
                     std::uint8_t opacity) override;
    void DrawStretched(platform::DeviceContext& dc, const Rect& rect, int state, bool dpiScaled,
                       std::uint8_t opacity) override;
    Size GetSkinSize() const override { return {}; }
    bool IgnoresState() const override { return true; }

  private:
    Colorref m_from = kNoColor;
    Colorref m_to = kNoColor;
    int m_size = 0;
    bool m_vertical = false;
};

}  // namespace zeph::ui
