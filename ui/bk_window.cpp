// Element attributes, loading, state, placement and the handle map.
#include "ui/bk_window.h"

#include <tinyxml2.h>

#include <atomic>
#include <mutex>
#include <span>
#include <unordered_map>

#include "base/strings.h"
#include "platform/cursor.h"
#include "ui/bk_dialog.h"
#include "ui/bk_dpi.h"
#include "ui/bk_string.h"
#include "ui/bk_style.h"

namespace zeph::ui {

// -------------------------------------------------------------- handle map

namespace {

struct HandleMap {
    std::mutex m;
    std::unordered_map<ElementHandle, CBkWindow*> elements;
    ElementHandle next = 1;
};

HandleMap& TheMap() {
    static HandleMap* map = new HandleMap;  // elements may outlive static destruction order
    return *map;
}

}  // namespace

ElementHandle BkHandleMap::Register(CBkWindow* element) {
    HandleMap& map = TheMap();
    std::lock_guard lock(map.m);
    ElementHandle h = map.next++;
    if (map.next == 0) {
        map.next = 1;  // 0 means "no element"
    }
    map.elements[h] = element;
    return h;
}

void BkHandleMap::Unregister(ElementHandle handle) {
    HandleMap& map = TheMap();
    std::lock_guard lock(map.m);
    map.elements.erase(handle);
}

CBkWindow* BkHandleMap::Find(ElementHandle handle) {
    if (handle == 0) {
        return nullptr;
    }
    HandleMap& map = TheMap();
    std::lock_guard lock(map.m);
    auto it = map.elements.find(handle);
    return it == map.elements.end() ? nullptr : it->second;
}

std::size_t BkHandleMap::Count() {
    HandleMap& map = TheMap();
    std::lock_guard lock(map.m);
    return map.elements.size();
}

// ------------------------------------------------------------------ element

CBkWindow::CBkWindow(const char* tag) : CBkObject(tag) {
    m_handle = BkHandleMap::Register(this);
}

CBkWindow::~CBkWindow() {
    BkHandleMap::Unregister(m_handle);
}

CBkDialog* CBkWindow::Parent() const {
    CBkWindow* parent = BkHandleMap::Find(m_parent);
    return parent != nullptr && parent->IsContainer() ? static_cast<CBkDialog*>(parent) : nullptr;
}

void CBkWindow::SetParent(CBkDialog* parent) {
    m_parent = parent != nullptr ? parent->Handle() : 0;
    if (parent != nullptr) {
        m_dpiAware = parent->DpiAware();
    }
}

const BkStyle& CBkWindow::Style() const {
    return BkStylePool::Instance().FindStyle(m_class);
}

bool CBkWindow::IsDpiScaled() const {
    return m_dpiAware && BkDpi::IsActive();
}

bool CBkWindow::IsVisibleDeep() const {
    for (const CBkWindow* e = this; e != nullptr; e = BkHandleMap::Find(e->m_parent)) {
        if (!e->IsVisible()) {
            return false;
        }
    }
    return true;
}

bool CBkWindow::IsDisabledDeep() const {
    for (const CBkWindow* e = this; e != nullptr; e = BkHandleMap::Find(e->m_parent)) {
        if ((e->m_state & kStateDisabled) != 0) {
            return true;
        }
    }
    return false;
}

bool CBkWindow::Load(const tinyxml2::XMLElement* xml) {
    if (xml == nullptr) {
        return false;
    }
    const char* text = xml->GetText();
    m_text =
        ReplaceStringReferences(Utf8ToUtf16(text != nullptr ? text : ""), BkString::Instance());
    m_widthMode = SizeMode::FromPosOrContent;
    m_heightMode = SizeMode::FromPosOrContent;
    CBkObject::Load(xml);
    if (const char* show = xml->Attribute("show"); show != nullptr && *show != '\0') {
        if (ParseInt(show) == 0) {
            m_state |= kStateHidden;
        } else {
            m_state &= ~kStateHidden;
        }
    }
    if (m_pos.count != 2 && m_pos.count != 4) {
        ReadSizeAttributes(xml->Attribute("width"), xml->Attribute("height"));
        m_float = ParseInt(xml->Attribute("float") != nullptr ? xml->Attribute("float") : "");
    }
    return true;
}

void CBkWindow::ReadSizeAttributes(const char* width, const char* height) {
    auto mode = [](const char* value, int& fixed) {
        if (value == nullptr) {
            return SizeMode::FromPosOrContent;
        }
        if (std::string_view(value) == "full") {
            return SizeMode::Full;
        }
        const int n = ParseCoordinate(value);
        if (n > 0) {
            fixed = n;
            return SizeMode::Fixed;
        }
        return SizeMode::FromPosOrContent;
    };
    m_widthMode = mode(width, m_fixedWidth);
    m_heightMode = mode(height, m_fixedHeight);
    if (m_widthMode == SizeMode::FromPosOrContent || m_heightMode == SizeMode::FromPosOrContent) {
        const Size content = CalcSize(std::nullopt);
        m_rect.right = m_rect.left + (m_widthMode == SizeMode::Fixed ? m_fixedWidth : content.cx);
        m_rect.bottom = m_rect.top + (m_heightMode == SizeMode::Fixed ? m_fixedHeight : content.cy);
    }
}

AttrResult CBkWindow::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    struct IntField {
        std::string_view name;
        int CBkWindow::*field;
        AttrResult result;
    };
    static constexpr IntField kInts[] = {
        {"id", &CBkWindow::m_id, AttrResult::Repaint},
        {"alphatxt", &CBkWindow::m_alphaText, AttrResult::Layout},
        {"transparent", &CBkWindow::m_transparent, AttrResult::Repaint},
        {"headacceptlbtndownmsg", &CBkWindow::m_headAcceptsButtonDown, AttrResult::Repaint},
        {"userdata", &CBkWindow::m_userData, AttrResult::Repaint},
        {"notify", &CBkWindow::m_notify, AttrResult::Repaint},
        {"forceupdatestyle", &CBkWindow::m_forceUpdateStyle, AttrResult::Layout},
        {"autofixtextrect", &CBkWindow::m_autoFixTextRect, AttrResult::Layout},
        {"border", &CBkWindow::m_border, AttrResult::Layout},
        {"correctdrawbg", &CBkWindow::m_correctDrawBg, AttrResult::Layout},
    };
    for (const auto& f : kInts) {
        if (name == f.name) {
            this->*f.field = ParseInt(value);
            return f.result;
        }
    }
    if (name == "class") {
        m_class = value;
        return AttrResult::Layout;
    }
    if (name == "crbg") {
        m_crBg = ParseColor(value);
        return AttrResult::Repaint;
    }
    if (name == "crtext") {
        m_crText = ParseColor(value);
        return AttrResult::Repaint;
    }
    if (name == "font") {
        m_font = static_cast<std::uint16_t>(ParseHex(value));
        return AttrResult::Repaint;
    }
    if (name == "href") {
        m_href = Utf8ToUtf16(value);
        return AttrResult::Repaint;
    }
    if (name == "tip") {
        m_tip = Utf8ToUtf16(value);
        return AttrResult::Repaint;
    }
    if (name == "valign" || name == "align") {
        static constexpr std::pair<std::string_view, std::uint32_t> kVertical[] = {
            {"top", kVAlignTop}, {"middle", kVAlignMiddle}, {"bottom", kVAlignBottom}};
        static constexpr std::pair<std::string_view, std::uint32_t> kHorizontal[] = {
            {"left", kAlignLeft}, {"center", kAlignCenter}, {"right", kAlignRight}};
        const bool vertical = name == "valign";
        for (auto [word, v] : vertical ? std::span(kVertical) : std::span(kHorizontal)) {
            if (value == word) {
                (vertical ? m_valign : m_align) = v;
                return AttrResult::Layout;
            }
        }
        return AttrResult::Unknown;
    }
    if (name == "pos") {
        if (value.empty()) {
            return AttrResult::Layout;
        }
        m_pos = ParsePos(value, IsDpiScaled() ? &BkDpi::Scale : nullptr);
        if (m_pos.count == 2 || m_pos.count == 4) {
            m_widthMode = SizeMode::FromPosOrContent;
            m_heightMode = SizeMode::FromPosOrContent;
        }
        if (!loading) {
            if (CBkDialog* parent = Parent()) {
                parent->RepositionChild(this);
            }
        }
        return AttrResult::Layout;
    }
    return AttrResult::Unknown;
}

void CBkWindow::SetCursorFromStyle() {
    platform::SetCursor(Style().cursor);
}

std::uint32_t CBkWindow::ModifyState(std::uint32_t add, std::uint32_t remove) {
    const std::uint32_t old = m_state;
    m_state = (m_state | add) & ~remove;
    return old;
}

ElementHandle CBkWindow::HitTest(Point point, bool onlyEnabled) {
    if (!m_rect.Contains(point) || (onlyEnabled && IsDisabledDeep())) {
        return 0;
    }
    return m_handle;
}

bool CBkWindow::NeedsRedrawOnStateChange(std::uint32_t oldState) const {
    if (oldState == m_state) {
        return false;
    }
    // Anything that draws differently per state: a state-dependent skin,
    // state colours or fonts.
    const BkStyle& style = Style();
    if (!style.skin.empty()) {
        return true;
    }
    return style.crHover != kNoColor || style.crPush != kNoColor || style.crBgHover != kNoColor ||
           style.hoverFont != 0 || style.pushFont != 0 ||
           ((oldState ^ m_state) & kStateDisabled) != 0;
}

platform::LResult CBkWindow::ProcessMessage(std::uint32_t message, platform::WParam wParam,
                                            platform::LParam) {
    m_messageHandled = false;
    if (message == platform::WM_SHOWWINDOW) {
        ModifyState(wParam != 0 ? 0 : kStateHidden, wParam != 0 ? kStateHidden : 0);
        m_messageHandled = true;
    }
    return 0;
}

void CBkWindow::NotifyInvalidate() {
    NotifyInvalidate(m_rect);
}

void CBkWindow::NotifyInvalidate(const Rect& rect) {
    if (m_container != nullptr && IsVisibleDeep()) {
        m_container->RequestRepaint(rect);
    }
}

int CBkWindow::CorrectedState() const {
    if (IsDisabledDeep()) {
        return 3;
    }
    if (m_state & kStatePushed) {
        return 2;
    }
    if (m_state & kStateHover) {
        return 1;
    }
    return 0;
}

int CBkWindow::BackgroundSkinState() const {
    return m_correctDrawBg != 0 ? CorrectedState() : static_cast<int>(m_state);
}

// ------------------------------------------------------------------ layout

void CBkWindow::OnPlacement(Point origin, int boxWidth, int boxHeight) {
    m_rect = Rect::FromSize(origin.x, origin.y, m_rect.Width(), m_rect.Height());
    const Size size = CalcSize(Size{boxWidth, boxHeight});
    m_rect = Rect::FromSize(origin.x, origin.y, size.cx, size.cy);
    if (m_widthMode == SizeMode::Full) {
        m_rect.right = std::max(m_rect.left, origin.x + boxWidth);
    } else if (m_widthMode == SizeMode::Fixed) {
        m_rect.right = m_rect.left + m_fixedWidth;
    }
    if (m_heightMode == SizeMode::Full) {
        m_rect.bottom = std::max(m_rect.top, origin.y + boxHeight);
    } else if (m_heightMode == SizeMode::Fixed) {
        m_rect.bottom = m_rect.top + m_fixedHeight;
    }
}

Size CBkWindow::CalcSize(std::optional<Size> box) {
    if (m_pos.count == 4 && box) {
        return PosSize(m_pos, box->cx, box->cy);
    }
    return ContentSize(box);
}

}  // namespace zeph::ui
