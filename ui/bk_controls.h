// The element classes of the tags; the full control catalogue replaces the
// stand-ins, which make each tag as its closest class: text elements, a
// picture from a skin, a generic element or a container.
#pragma once

#include "ui/bk_dialog.h"

namespace zeph::ui {

// A text: background and text, sized by its text.
class CBkStatic : public CBkWindow {
  public:
    explicit CBkStatic(const char* tag = "text") : CBkWindow(tag) {}
};

// A picture: the skin stretched over the rectangle with sub-image `sub`,
// sized by the skin's picture.
class CBkImageWnd : public CBkWindow {
  public:
    explicit CBkImageWnd(const char* tag = "img") : CBkWindow(tag) {}
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    Size CalcSize(std::optional<Size> box) override;
    void OnPaint(platform::DeviceContext& dc) override;

    const std::string& SkinName() const { return m_skin; }
    int Sub() const { return m_sub; }

  private:
    std::string m_skin;
    int m_sub = 0;
};

// A tag whose class arrives with the control catalogue, made as the closest
// class now; nullptr for a tag that is not an engine tag.
std::unique_ptr<CBkWindow> CreateEngineElement(std::string_view tag, bool extended);

}  // namespace zeph::ui
