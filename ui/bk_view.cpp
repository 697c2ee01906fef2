// Loading layer documents, laying out and painting the panels, and the
// element operations of screens.
#include "ui/bk_view.h"

#include <tinyxml2.h>

#include "base/ascii.h"
#include "base/format.h"
#include "base/strings.h"
#include "platform/window.h"
#include "ui/bk_dpi.h"
#include "ui/bk_font.h"
#include "ui/bk_skin.h"
#include "ui/resource_locator.h"

namespace zeph::ui {

namespace {

int IntAttribute(const tinyxml2::XMLElement* e, const char* name) {
    const char* v = e->Attribute(name);
    return v != nullptr ? ParseCoordinate(v) : 0;
}

// Style bits the layer changes.
constexpr std::uint32_t kChildMask = 0x39F7FFFF;   // drops WS_POPUP and WS_SYSMENU
constexpr std::uint32_t kChildStyle = 0x46000000;  // WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
constexpr std::uint32_t kResizable = 0x00070000;  // WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX
constexpr std::uint32_t kMaximizeBox = 0x00010000;
constexpr std::uint32_t kMinimizeBox = 0x00020000;
constexpr std::uint32_t kExAppWindow = 0x00040000;
constexpr std::uint32_t kExLayered = 0x00080000;
constexpr std::uint32_t kExToolTopmost = 0x00000088;
constexpr std::uint32_t kExEdges = 0x00000300;

}  // namespace

CBkViewImpl::CBkViewImpl(HostKind kind) : m_kind(kind) {
    m_header = std::make_unique<CBkDialog>("header");
    m_body = std::make_unique<CBkDialog>("body");
    m_footer = std::make_unique<CBkDialog>("footer");
    for (CBkDialog* panel : {m_header.get(), m_body.get(), m_footer.get()}) {
        panel->SetContainer(this);
        panel->SetControlCreator(&m_creator);
    }
}

CBkViewImpl::~CBkViewImpl() = default;

void CBkViewImpl::ResetPanels() {
    for (CBkDialog* panel : {m_header.get(), m_body.get(), m_footer.get()}) {
        panel->DestroyChildren();
    }
    m_hasHeader = m_hasBody = m_hasFooter = m_headerFills = false;
}

bool CBkViewImpl::LoadLayout(int number) {
    auto text = ResourceLocator::Instance().FindOne("xml", number);
    return text && LoadLayoutText(*text);
}

bool CBkViewImpl::LoadLayoutText(std::string_view utf8) {
    m_layer = LayerSettings{};
    m_loaded = false;
    m_hasHeader = m_hasBody = m_hasFooter = m_headerFills = false;

    tinyxml2::XMLDocument doc;
    if (doc.Parse(utf8.data(), utf8.size()) != tinyxml2::XML_SUCCESS) {
        ResetPanels();
        return false;
    }
    const tinyxml2::XMLElement* layer = doc.RootElement();
    if (layer == nullptr || std::string_view(layer->Name()) != "layer") {
        ResetPanels();
        return false;
    }

    LayerSettings& s = m_layer;
    if (const char* frame = layer->Attribute("frame")) {
        s.frame = frame;
    }
    if (const char* title = layer->Attribute("title")) {
        s.title = Utf8ToUtf16(title);
    }
    s.width = IntAttribute(layer, "width");
    s.height = IntAttribute(layer, "height");
    s.dpiAware = IntAttribute(layer, "dpiaware");
    if (s.dpiAware != 0 && BkDpi::IsActive()) {
        s.width = BkDpi::Scale(s.width);
        s.height = BkDpi::Scale(s.height);
    }
    s.minWidth = IntAttribute(layer, "min_width");
    s.minHeight = IntAttribute(layer, "min_height");
    s.appWin = IntAttribute(layer, "appwin");
    if (s.appWin != 0) {
        s.exStyle |= kExAppWindow;
    }
    if (m_kind == HostKind::ViewEx) {
        s.layered = IntAttribute(layer, "layered");
        if (s.layered != 0) {
            s.exStyle |= kExLayered;
        }
    }
    s.child = IntAttribute(layer, "child");
    if (s.child != 0) {
        s.style = (s.style & kChildMask) | kChildStyle;
        if (m_kind == HostKind::ViewEx) {
            s.layered = 0;
            s.exStyle &= ~kExLayered;
        }
    } else {
        s.holdSize = IntAttribute(layer, "holdsize");
        s.resize = IntAttribute(layer, "resize");
        s.style =
            s.resize != 0 ? (s.style | kResizable) : ((s.style & ~kMaximizeBox) | kMinimizeBox);
        s.noBorder = IntAttribute(layer, "noborder");
        s.exStyle |= s.noBorder != 0 ? kExToolTopmost : kExEdges;
        s.noMove = IntAttribute(layer, "nomove");
    }
    s.anim = IntAttribute(layer, "anim");

    struct PanelSpec {
        const char* tag;
        CBkDialog* panel;
        bool* present;
    };
    const PanelSpec panels[] = {
        {"header", m_header.get(), &m_hasHeader},
        {"footer", m_footer.get(), &m_hasFooter},
        {"body", m_body.get(), &m_hasBody},
    };
    for (const PanelSpec& p : panels) {
        p.panel->SetDpiAware(s.dpiAware != 0);
        const tinyxml2::XMLElement* markup = layer->FirstChildElement(p.tag);
        *p.present = markup != nullptr;
        if (markup == nullptr) {
            p.panel->DestroyChildren();
            continue;
        }
        p.panel->Load(markup);
        const std::string_view tag = p.tag;
        if (tag == "body") {
            p.panel->SetAttribute("pos", "0,0,-0,-0", true);
            continue;
        }
        const int height = IntAttribute(markup, "height");
        p.panel->SetAttribute(
            "pos", tag == "header" ? Format("0,0,-0,%d", height) : Format("0,-%d,-0,-0", height),
            true);
    }
    if (m_kind == HostKind::ViewEx && m_hasHeader && !m_hasBody && !m_hasFooter) {
        const char* height = layer->FirstChildElement("header")->Attribute("height");
        if (height != nullptr && AsciiEqualsIgnoreCase(height, "full")) {
            m_header->SetAttribute("pos", "0,0,-0,-0", true);
            m_headerFills = true;
        }
    }

    m_loaded = true;
    if (m_hwnd != 0) {
        LayoutPanels(platform::GetClientRect(m_hwnd));
        OnLayoutReloaded();
    }
    return true;
}

void CBkViewImpl::LayoutPanels(const Rect& client) {
    m_client = client;
    if (client.IsEmpty()) {
        return;
    }
    const int w = client.Width();
    const int h = client.Height();
    if (m_hasHeader) {
        m_header->OnPlacement(client.TopLeft(), w, h);
    }
    int footerTop = 0;
    int footerBottom = 0;
    if (m_hasFooter) {
        m_footer->OnPlacement(client.TopLeft(), w, h);
        const int t = m_footer->GetRect().top;
        const int b = m_footer->GetRect().bottom;
        m_footer->OnPlacement({client.left, t + client.bottom - b}, w, b - t);
        footerTop = m_footer->GetRect().top;
        footerBottom = m_footer->GetRect().bottom;
    }
    if (m_hasBody) {
        const int y = m_hasHeader ? m_header->GetRect().bottom : 0;
        const int boxHeight = footerTop + client.bottom - footerBottom - y;
        m_body->OnPlacement({client.left, y}, w, boxHeight);
    }
    InvalidateAll();
}

void CBkViewImpl::Invalidate(const Rect& rect) {
    m_invalid.Add(rect);
    m_dirty = true;
    if (m_hwnd != 0) {
        platform::InvalidateRect(m_hwnd, &rect);
    }
}

void CBkViewImpl::InvalidateAll() {
    m_fullRepaint = true;
    m_dirty = true;
    if (m_hwnd != 0) {
        platform::InvalidateRect(m_hwnd, nullptr);
    }
}

void CBkViewImpl::Paint(platform::DeviceContext& dc) {
    if (m_fullRepaint) {
        m_invalid.Clear();
    }
    const Region* invalid = m_invalid.IsEmpty() ? nullptr : &m_invalid;
    dc.Save();
    if (auto font = BkFontPool::Instance().GetFont(0, m_layer.dpiAware != 0 && BkDpi::IsActive())) {
        dc.SetFont(font);
    }
    dc.SetBackground(std::nullopt);
    if (invalid != nullptr) {
        dc.IntersectClip(*invalid);
    }
    if (!m_layer.frame.empty()) {
        DrawNatural(GetSkin(m_layer.frame), dc, m_client, 0, 255);
    }
    if (m_hasHeader && m_header->IsVisible()) {
        m_header->Paint(dc, invalid);
    }
    if (m_hasBody && m_body->IsVisible()) {
        m_body->Paint(dc, invalid);
    }
    if (m_hasFooter && m_footer->IsVisible()) {
        m_footer->Paint(dc, invalid);
    }
    dc.Restore();
    m_invalid.Clear();
    m_fullRepaint = false;
    m_dirty = false;
}

ElementHandle CBkViewImpl::HitTestPanels(Point point, bool onlyEnabled) {
    struct Panel {
        bool present;
        CBkDialog* dlg;
    };
    for (const Panel& p : {Panel{m_hasHeader, m_header.get()}, Panel{m_hasBody, m_body.get()},
                           Panel{m_hasFooter, m_footer.get()}}) {
        if (p.present && p.dlg->IsVisible()) {
            if (ElementHandle hit = p.dlg->HitTest(point, onlyEnabled)) {
                return hit;
            }
        }
    }
    return 0;
}

CBkWindow* CBkViewImpl::FindElementById(int id) {
    for (CBkDialog* panel : {m_header.get(), m_body.get(), m_footer.get()}) {
        if (CBkWindow* found = panel->FindChildById(id)) {
            return found;
        }
    }
    return nullptr;
}

bool CBkViewImpl::SetElementText(int id, std::u16string_view text) {
    CBkWindow* e = FindElementById(id);
    if (e == nullptr) {
        return false;
    }
    e->NotifyInvalidate();
    e->SetText(std::u16string(text));
    const bool contentSized = e->WidthMode() == SizeMode::FromPosOrContent ||
                              e->HeightMode() == SizeMode::FromPosOrContent;
    if (contentSized && e->Pos().count != 4) {
        // Left and top stay; the right and bottom edges follow the text.
        if (CBkDialog* parent = e->Parent()) {
            const Rect old = e->GetRect();
            parent->RepositionChild(e);
            Rect r = e->GetRect();
            e->SetRect(Rect{old.left, old.top, old.left + r.Width(), old.top + r.Height()});
        } else {
            const Size s = e->CalcSize(std::nullopt);
            const Rect old = e->GetRect();
            e->SetRect(Rect::FromSize(old.left, old.top, s.cx, s.cy));
        }
    }
    e->NotifyInvalidate();
    return true;
}

bool CBkViewImpl::SetElementAttribute(int id, std::string_view name, std::string_view value) {
    CBkWindow* e = FindElementById(id);
    if (e == nullptr) {
        return false;
    }
    e->NotifyInvalidate();
    e->SetAttribute(name, value, false);
    e->NotifyInvalidate();
    return true;
}

bool CBkViewImpl::SetElementStringAttribute(int id, std::string_view name,
                                            std::u16string_view value) {
    return SetElementAttribute(id, name, Utf16ToUtf8(value));
}

bool CBkViewImpl::SetElementVisible(int id, bool visible) {
    CBkWindow* e = FindElementById(id);
    if (e == nullptr) {
        return false;
    }
    e->SendElementMessage(platform::WM_SHOWWINDOW, visible ? 1 : 0);
    // Hidden or shown, its area must be drawn again.
    RequestRepaint(e->GetRect());
    return true;
}

bool CBkViewImpl::SetElementCheck(int id, bool checked) {
    CBkWindow* e = FindElementById(id);
    if (e == nullptr) {
        return false;
    }
    e->ModifyState(checked ? kStateChecked : 0, checked ? 0 : kStateChecked);
    e->NotifyInvalidate();
    return true;
}

bool CBkViewImpl::GetElementCheck(int id) {
    CBkWindow* e = FindElementById(id);
    return e != nullptr && (e->State() & kStateChecked) != 0;
}

}  // namespace zeph::ui
