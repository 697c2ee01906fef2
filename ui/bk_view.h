// What both host kinds share: the layer document with its window settings,
// the three panels (header, body, footer), their layout, the element
// operations screens use, and painting of the tree into a device context
// limited to the area asked for. The host windows build on it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/draw.h"
#include "platform/message.h"
#include "ui/bk_dialog.h"

namespace zeph::ui {

// A child view inside a screen's dialog, or a top-level host window.
enum class HostKind { View, ViewEx };

// Window settings from the `layer` element.
struct LayerSettings {
    std::string frame;
    std::u16string title;
    int width = 0;
    int height = 0;
    int dpiAware = 0;
    int minWidth = 0;
    int minHeight = 0;
    int appWin = 0;
    int layered = 0;
    int child = 0;
    int holdSize = 0;
    int resize = 0;
    int noBorder = 0;
    int noMove = 0;
    int anim = 0;
    std::uint32_t style = kStartStyle;
    std::uint32_t exStyle = kStartExStyle;

    // WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX, and WS_EX_CONTROLPARENT.
    static constexpr std::uint32_t kStartStyle = 0x80090000;
    static constexpr std::uint32_t kStartExStyle = 0x00010000;
};

class CBkViewImpl : public IContainer {
  public:
    explicit CBkViewImpl(HostKind kind);
    ~CBkViewImpl() override;
    CBkViewImpl(const CBkViewImpl&) = delete;
    CBkViewImpl& operator=(const CBkViewImpl&) = delete;

    HostKind Kind() const { return m_kind; }

    // The layout resource ("xml", number), then LoadLayoutText.
    bool LoadLayout(int number);
    // False (panels emptied) when the text does not parse or its root is not
    // "layer".
    bool LoadLayoutText(std::string_view utf8);
    bool IsLoaded() const { return m_loaded; }
    const LayerSettings& Layer() const { return m_layer; }

    CBkDialog& Header() { return *m_header; }
    CBkDialog& Body() { return *m_body; }
    CBkDialog& Footer() { return *m_footer; }
    bool HasHeader() const { return m_hasHeader; }
    bool HasBody() const { return m_hasBody; }
    bool HasFooter() const { return m_hasFooter; }
    bool HeaderFillsWindow() const { return m_headerFills; }
    CBkControlCreator& ControlCreator() { return m_creator; }

    // Element operations; each returns false and does nothing when no
    // element has the id.
    CBkWindow* FindElementById(int id);
    bool SetElementText(int id, std::u16string_view text);
    bool SetElementAttribute(int id, std::string_view name, std::string_view value);
    bool SetElementStringAttribute(int id, std::string_view name, std::u16string_view value);
    bool SetElementVisible(int id, bool visible);
    bool SetElementCheck(int id, bool checked);
    bool GetElementCheck(int id);

    // The element under a point: header, then body, then footer.
    ElementHandle HitTestPanels(Point point, bool onlyEnabled = false);

    // The host's window, once it exists.
    void SetHostWindow(platform::WindowHandle hwnd) { m_hwnd = hwnd; }
    platform::WindowHandle GetContainerWindow() const override { return m_hwnd; }
    void RequestRepaint(const Rect& rect) override { Invalidate(rect); }

    // Adds the rectangle to the invalid region, marks dirty, and invalidates
    // it in the window when there is one.
    void Invalidate(const Rect& rect);
    // Everything at the next paint.
    void InvalidateAll();
    bool IsDirty() const { return m_dirty; }
    const Region& InvalidRegion() const { return m_invalid; }

    // Places the panels in the client area (nothing for an empty one):
    // header at the top, footer at the bottom, body between them.
    void LayoutPanels(const Rect& client);
    const Rect& ClientRect() const { return m_client; }

    // Paints the frame skin and the panels into the device context, limited
    // to the invalid region (everything after InvalidateAll), then forgets
    // the region.
    void Paint(platform::DeviceContext& dc);

  protected:
    // Called after a layout was loaded again into an existing window.
    virtual void OnLayoutReloaded() {}

  private:
    void ResetPanels();

    HostKind m_kind;
    LayerSettings m_layer;
    CBkControlCreator m_creator;
    std::unique_ptr<CBkDialog> m_header;
    std::unique_ptr<CBkDialog> m_body;
    std::unique_ptr<CBkDialog> m_footer;
    bool m_hasHeader = false;
    bool m_hasBody = false;
    bool m_hasFooter = false;
    bool m_headerFills = false;
    bool m_loaded = false;
    platform::WindowHandle m_hwnd = 0;
    Rect m_client;
    Region m_invalid;
    bool m_fullRepaint = false;
    bool m_dirty = false;
};

}  // namespace zeph::ui
