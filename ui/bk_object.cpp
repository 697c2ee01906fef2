// Attribute loading shared by every markup-made object.
#include "ui/bk_object.h"

#include <tinyxml2.h>

namespace zeph::ui {

bool CBkObject::Load(const tinyxml2::XMLElement* xml) {
    if (xml == nullptr) {
        return false;
    }
    for (const auto* a = xml->FirstAttribute(); a != nullptr; a = a->Next()) {
        SetAttribute(a->Name(), a->Value(), true);
    }
    OnAttributesLoaded();
    return true;
}

AttrResult CBkObject::SetAttribute(std::string_view, std::string_view, bool) {
    return AttrResult::Unknown;
}

}  // namespace zeph::ui
