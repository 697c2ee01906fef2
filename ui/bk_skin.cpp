// The skin table and the calls on skins.
#include "ui/bk_skin.h"

#include <tinyxml2.h>

namespace zeph::ui {

bool CBkSkinBase::EnsureLoaded() {
    if (!m_loadTried) {
        m_loadTried = true;
        m_loaded = LoadImage();
    }
    return m_loaded;
}

int SubImageIndex(int state, int count) {
    if (count <= 1 || state == -1) {
        return 0;
    }
    return ((state % count) + count) % count;
}

BkSkinPool& BkSkinPool::Instance() {
    static BkSkinPool pool;
    return pool;
}

bool BkSkinPool::LoadDocument(std::string_view utf8) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(utf8.data(), utf8.size()) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (root == nullptr || std::string_view(root->Name()) != "skins") {
        return false;
    }
    for (const auto* e = root->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
        const char* name = e->Attribute("name");
        if (name == nullptr || m_skins.contains(std::string_view(name))) {
            continue;
        }
        auto skin = CreateSkin(e->Name());
        if (!skin) {
            continue;
        }
        skin->Load(e);
        m_skins.emplace(name, std::move(skin));
    }
    return true;
}

CBkSkinBase* BkSkinPool::Find(std::string_view name) const {
    auto it = m_skins.find(name);
    return it == m_skins.end() ? nullptr : it->second.get();
}

CBkSkinBase* GetSkin(std::string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    CBkSkinBase* skin = BkSkinPool::Instance().Find(name);
    if (skin != nullptr) {
        skin->EnsureLoaded();
    }
    return skin;
}

Size GetSkinSize(const CBkSkinBase* skin) {
    return skin != nullptr ? skin->GetSkinSize() : Size{};
}

bool IgnoresState(const CBkSkinBase* skin) {
    return skin == nullptr || skin->IgnoresState();
}

void DrawStretched(CBkSkinBase* skin, platform::DeviceContext& dc, const Rect& rect, int state,
                   bool dpiScaled, std::uint8_t opacity) {
    if (skin != nullptr && skin->EnsureLoaded() && !rect.IsEmpty()) {
        skin->DrawStretched(dc, rect, state, dpiScaled, opacity);
    }
}

void DrawNatural(CBkSkinBase* skin, platform::DeviceContext& dc, const Rect& rect, int state,
                 std::uint8_t opacity) {
    if (skin != nullptr && skin->EnsureLoaded()) {
        skin->DrawNatural(dc, rect, state, opacity);
    }
}

}  // namespace zeph::ui
