// Containers: children, placement, hit testing, painting.
#include "ui/bk_dialog.h"

#include <tinyxml2.h>

#include "ui/bk_controls.h"
#include "ui/bk_font.h"
#include "ui/bk_style.h"

namespace zeph::ui {

CBkDialog::~CBkDialog() = default;

bool CBkDialog::Load(const tinyxml2::XMLElement* xml) {
    if (!CBkWindow::Load(xml)) {
        return false;
    }
    LoadChildren(xml->FirstChildElement());
    return true;
}

AttrResult CBkDialog::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    const AttrResult base = CBkWindow::SetAttribute(name, value, loading);
    if (base != AttrResult::Unknown) {
        return base;
    }
    if (name == "onlydrawchild") {
        m_onlyDrawChild = ParseInt(value);
        return AttrResult::Repaint;
    }
    return AttrResult::Unknown;
}

void CBkDialog::SetContainer(IContainer* container) {
    CBkWindow::SetContainer(container);
    for (auto& child : m_children) {
        child->SetContainer(container);
    }
}

void CBkDialog::DestroyChildren() {
    m_children.clear();
}

void CBkDialog::LoadChildren(const tinyxml2::XMLElement* first) {
    DestroyChildren();
    for (const auto* e = first; e != nullptr; e = e->NextSiblingElement()) {
        auto child = CreateChild(e->Name());
        if (!child) {
            continue;
        }
        child->SetParent(this);
        child->SetContainer(m_container);
        child->Load(e);
        m_children.push_back(std::move(child));
    }
}

std::unique_ptr<CBkWindow> CBkDialog::CreateChild(std::string_view tag) {
    auto child = CreateEngineElement(tag, false);
    if (child) {
        // New containers of this level take the creator along.
        if (child->IsContainer()) {
            static_cast<CBkDialog*>(child.get())->SetControlCreator(m_creator);
        }
        return child;
    }
    return m_creator != nullptr ? m_creator->CreateElement(tag) : nullptr;
}

CBkWindow* CBkDialog::AddChild(std::unique_ptr<CBkWindow> child) {
    if (!child) {
        return nullptr;
    }
    child->SetParent(this);
    child->SetContainer(m_container);
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

bool CBkDialog::RemoveChild(CBkWindow* child) {
    auto it = std::find_if(m_children.begin(), m_children.end(),
                           [&](const auto& c) { return c.get() == child; });
    if (it == m_children.end()) {
        return false;
    }
    m_children.erase(it);
    return true;
}

bool CBkDialog::RemoveChildById(int id) {
    auto it = std::find_if(m_children.begin(), m_children.end(),
                           [&](const auto& c) { return c->Id() == id; });
    if (it == m_children.end()) {
        return false;
    }
    m_children.erase(it);
    return true;
}

CBkWindow* CBkDialog::FindChildById(int id) {
    for (auto& child : m_children) {
        if (child->Id() == id) {
            return child.get();
        }
    }
    for (auto& child : m_children) {
        if (child->IsContainer()) {
            if (CBkWindow* found = static_cast<CBkDialog*>(child.get())->FindChildById(id)) {
                return found;
            }
        }
    }
    return nullptr;
}

Rect CBkDialog::GetChildrenBounds() const {
    Rect bounds;
    for (const auto& child : m_children) {
        bounds = bounds.Union(child->GetRect());
    }
    return bounds;
}

Rect CBkDialog::InnerBox() const {
    const BkStyle& style = Style();
    return m_rect.Deflate(style.xMargin, style.yMargin);
}

void CBkDialog::RepositionChild(CBkWindow* child) {
    const Rect box = InnerBox();
    Point origin{box.left, box.top};
    if (child->Pos().count != 0) {
        origin = PosOrigin(child->Pos(), box);
    }
    child->OnPlacement(origin, box.Width(), box.Height());
}

void CBkDialog::RepositionChildren() {
    for (auto& child : m_children) {
        RepositionChild(child.get());
    }
}

void CBkDialog::OnPlacement(Point origin, int boxWidth, int boxHeight) {
    CBkWindow::OnPlacement(origin, boxWidth, boxHeight);
    RepositionChildren();
}

ElementHandle CBkDialog::HitTest(Point point, bool onlyEnabled) {
    if (!m_rect.Contains(point) || (onlyEnabled && IsDisabledDeep())) {
        return 0;
    }
    if (m_onlyDrawChild != 0) {
        return m_handle;
    }
    // Floating children first, then the others; the last drawn first.
    for (bool floating : {true, false}) {
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
            CBkWindow* child = it->get();
            if (child->IsFloat() != floating || !child->IsVisible() || child->IsTransparent()) {
                continue;
            }
            if (ElementHandle hit = child->HitTest(point, onlyEnabled)) {
                return hit;
            }
        }
    }
    return m_handle;
}

void CBkDialog::Paint(platform::DeviceContext& dc, const Region* invalid) {
    m_paintInvalid = invalid;
    CBkWindow::Paint(dc, invalid);
    m_paintInvalid = nullptr;
}

void CBkDialog::OnPaint(platform::DeviceContext& dc) {
    CBkWindow::OnPaint(dc);
    const BkStyle& style = Style();
    dc.Save();
    if (auto font = BkFontPool::Instance().GetFont(style.font, IsDpiScaled())) {
        dc.SetFont(font);
    }
    if (style.crText != kNoColor) {
        dc.SetTextColor(style.crText);
    }
    for (auto& child : m_children) {
        if (child->IsVisible()) {
            child->Paint(dc, m_paintInvalid);
        }
    }
    dc.Restore();
}

std::unique_ptr<CBkWindow> CBkControlCreator::CreateElement(std::string_view tag) {
    auto element = CreateEngineElement(tag, true);
    if (element) {
        if (element->IsContainer()) {
            static_cast<CBkDialog*>(element.get())->SetControlCreator(this);
        }
        return element;
    }
    return m_screen != nullptr ? m_screen->CreateElement(tag) : nullptr;
}

}  // namespace zeph::ui
