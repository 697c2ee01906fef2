// Containers: an ordered list of children (document order is drawing
// order), their placement inside the container's box, hit testing, and
// making children from markup tags.
#pragma once

#include <memory>
#include <vector>

#include "ui/bk_window.h"

namespace zeph::ui {

// Makes elements for tags the container itself does not know.
class IBkControlCreator {
  public:
    virtual ~IBkControlCreator() = default;
    virtual std::unique_ptr<CBkWindow> CreateElement(std::string_view tag) = 0;
};

class CBkDialog : public CBkWindow {
  public:
    explicit CBkDialog(const char* tag = "dlg") : CBkWindow(tag) {}
    ~CBkDialog() override;

    // The element itself, then its children from markup.
    bool Load(const tinyxml2::XMLElement* xml) override;
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    bool IsContainer() const override { return true; }
    ElementHandle HitTest(Point point, bool onlyEnabled) override;
    void OnPlacement(Point origin, int boxWidth, int boxHeight) override;
    void Paint(platform::DeviceContext& dc, const Region* invalid) override;
    void OnPaint(platform::DeviceContext& dc) override;
    void SetContainer(IContainer* container) override;

    // The first child with the id, else the first found inside child
    // containers (depth first, document order).
    CBkWindow* FindChildById(int id);
    void RepositionChildren();
    void RepositionChild(CBkWindow* child);
    // Replaces the children with those made from the markup siblings
    // starting at `first`; unknown tags are skipped with their subtree.
    void LoadChildren(const tinyxml2::XMLElement* first);
    bool RemoveChild(CBkWindow* child);
    bool RemoveChildById(int id);
    void DestroyChildren();
    Rect GetChildrenBounds() const;
    // A child made from a tag: the container's own tags, then its control
    // creator; nullptr for a tag nobody knows.
    std::unique_ptr<CBkWindow> CreateChild(std::string_view tag);
    // Appends a child made by code; returns it.
    CBkWindow* AddChild(std::unique_ptr<CBkWindow> child);
    const std::vector<std::unique_ptr<CBkWindow>>& Children() const { return m_children; }

    void SetControlCreator(IBkControlCreator* creator) { m_creator = creator; }
    IBkControlCreator* ControlCreator() const { return m_creator; }
    bool OnlyDrawChild() const { return m_onlyDrawChild != 0; }
    void SetOnlyDrawChild(bool on) { m_onlyDrawChild = on ? 1 : 0; }
    // The box children are placed in: the rectangle less the class margins.
    Rect InnerBox() const;

  private:
    std::vector<std::unique_ptr<CBkWindow>> m_children;
    IBkControlCreator* m_creator = nullptr;  // not owned: the host's
    int m_onlyDrawChild = 0;
    const Region* m_paintInvalid = nullptr;  // during Paint only
};

// The host's creator: the engine's further tags, then a screen's own
// creator.
class CBkControlCreator : public IBkControlCreator {
  public:
    std::unique_ptr<CBkWindow> CreateElement(std::string_view tag) override;
    void SetScreenCreator(IBkControlCreator* creator) { m_screen = creator; }

  private:
    IBkControlCreator* m_screen = nullptr;  // not owned
};

}  // namespace zeph::ui
