// The root of markup-made objects: elements, style classes and skins. Each
// answers for its own tag name and takes attributes one by one.
#pragma once

#include <string_view>

namespace tinyxml2 {
class XMLElement;
}

namespace zeph::ui {

// What an attribute change needs.
enum class AttrResult : int {
    Layout = 0,    // size or placement may change
    Repaint = 1,   // only a repaint
    Unknown = -1,  // the class does not know the name (or rejects the value)
};

class CBkObject {
  public:
    // `tag` must live as long as the object (a string literal).
    explicit CBkObject(const char* tag) : m_tag(tag) {}
    virtual ~CBkObject() = default;
    CBkObject(const CBkObject&) = default;
    CBkObject& operator=(const CBkObject&) = default;

    // Whether `tag` is this object's own tag name.
    virtual bool IsClass(std::string_view tag) const { return tag == m_tag; }
    virtual const char* GetClassName() const { return m_tag; }
    // Offers every attribute of the markup element to SetAttribute, then
    // calls OnAttributesLoaded.
    virtual bool Load(const tinyxml2::XMLElement* xml);
    virtual void OnAttributesLoaded() {}
    virtual AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading);

  private:
    const char* m_tag;
};

}  // namespace zeph::ui
