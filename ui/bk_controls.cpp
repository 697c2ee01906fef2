// Element classes by tag.
#include "ui/bk_controls.h"

#include <span>

#include "ui/bk_dpi.h"
#include "ui/bk_skin.h"

namespace zeph::ui {

namespace {

enum class Shape { Container, Text, Image, Plain };

struct TagEntry {
    const char* tag;
    Shape shape;
};

// The container's own tags, in the order they are tried.
constexpr TagEntry kContainerTags[] = {
    {"dlg", Shape::Container},
    {"text", Shape::Text},
    {"button", Shape::Text},
    {"img", Shape::Image},
    {"imgbg", Shape::Image},
    {"scrollimg", Shape::Image},
    {"progress", Shape::Plain},
    {"progressex", Shape::Plain},
    {"imgbtn", Shape::Image},
    {"skinbtn", Shape::Image},
    {"realwnd", Shape::Plain},
    {"realwnd2", Shape::Plain},
    {"hr", Shape::Plain},
    {"check", Shape::Text},
    {"icon", Shape::Image},
    {"tabctrl", Shape::Container},
    {"radio", Shape::Text},
    {"customradio", Shape::Text},
    {"richtext", Shape::Text},
    {"link", Shape::Text},
    {"memimage", Shape::Image},
    {"storageimage", Shape::Image},
    {"storageimageex", Shape::Image},
    {"imgbtnsized", Shape::Image},
    {"imggray", Shape::Image},
    {"imgex", Shape::Image},
    {"imgrotale", Shape::Image},
    {"slider", Shape::Plain},
    {"dlgbtn", Shape::Container},
    {"hicon", Shape::Image},
};

// The host creator's tags, in order.
constexpr TagEntry kCreatorTags[] = {
    {"listwnd", Shape::Container},
    {"scrolldlg", Shape::Container},
    {"listitem", Shape::Container},
    {"rundrect", Shape::Plain},
    {"rundrectpath", Shape::Plain},
    {"expendimg", Shape::Image},
    {"realwndex", Shape::Plain},
    {"shadowtext", Shape::Text},
    {"richtextex", Shape::Text},
    {"imgex2", Shape::Image},
    {"hrex", Shape::Plain},
    {"listscrollbar", Shape::Plain},
    {"scrollbar", Shape::Plain},
    {"dlgbtnEx2", Shape::Container},
    {"richtext2", Shape::Text},
    {"lineviewex", Shape::Plain},
    {"pagitem", Shape::Plain},
    {"animate", Shape::Container},
    {"ownereventdlg", Shape::Container},
    {"sliderviewex", Shape::Container},
    {"lineargradient", Shape::Plain},
};

std::unique_ptr<CBkWindow> Make(const TagEntry& entry) {
    switch (entry.shape) {
        case Shape::Container: {
            auto dlg = std::make_unique<CBkDialog>(entry.tag);
            // Button containers are always the hit element themselves.
            const std::string_view tag = entry.tag;
            if (tag == "dlgbtn" || tag == "dlgbtnEx2") {
                dlg->SetOnlyDrawChild(true);
            }
            return dlg;
        }
        case Shape::Text:
            return std::make_unique<CBkStatic>(entry.tag);
        case Shape::Image:
            return std::make_unique<CBkImageWnd>(entry.tag);
        case Shape::Plain:
            break;
    }
    return std::make_unique<CBkWindow>(entry.tag);
}

}  // namespace

std::unique_ptr<CBkWindow> CreateEngineElement(std::string_view tag, bool extended) {
    for (const TagEntry& entry :
         extended ? std::span(kCreatorTags) : std::span<const TagEntry>(kContainerTags)) {
        if (tag == entry.tag) {
            return Make(entry);
        }
    }
    return nullptr;
}

AttrResult CBkImageWnd::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    const AttrResult base = CBkWindow::SetAttribute(name, value, loading);
    if (base != AttrResult::Unknown) {
        return base;
    }
    if (name == "skin") {
        m_skin = value;
        return AttrResult::Layout;
    }
    if (name == "sub") {
        m_sub = ParseInt(value);
        return AttrResult::Repaint;
    }
    return AttrResult::Unknown;
}

Size CBkImageWnd::CalcSize(std::optional<Size> box) {
    Size size = CBkWindow::CalcSize(box);
    const Size skin = GetSkinSize(GetSkin(m_skin));
    const bool scaled = IsDpiScaled();
    if (skin.cx != 0) {
        size.cx = scaled ? BkDpi::Scale(skin.cx) : skin.cx;
    }
    if (skin.cy != 0) {
        size.cy = scaled ? BkDpi::Scale(skin.cy) : skin.cy;
    }
    return size;
}

void CBkImageWnd::OnPaint(platform::DeviceContext& dc) {
    DrawStretched(GetSkin(m_skin), dc, m_rect, m_sub, IsDpiScaled(), m_alpha);
}

}  // namespace zeph::ui
