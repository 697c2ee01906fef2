// The windowless element: markup attributes, state bits, position, text and
// its drawing. Elements refer to each other by handle (the handle map
// resolves them), so a destroyed element is simply not found. UI thread
// only, except the handle map.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/draw.h"
#include "platform/message.h"
#include "ui/bk_object.h"
#include "ui/bk_pos.h"
#include "ui/notation.h"

namespace zeph::ui {

class BkStyle;
class CBkDialog;
class CBkWindow;

using ElementHandle = std::uint32_t;
using platform::Point;
using platform::Rect;
using platform::Region;
using platform::Size;

// State bits.
inline constexpr std::uint32_t kStateHover = 0x01;
inline constexpr std::uint32_t kStatePushed = 0x02;
inline constexpr std::uint32_t kStateChecked = 0x04;
inline constexpr std::uint32_t kStateHidden = 0x08;
inline constexpr std::uint32_t kStateDisabled = 0x10;

// Alignment values of `valign` and `align`.
inline constexpr std::uint32_t kVAlignTop = 0;
inline constexpr std::uint32_t kVAlignMiddle = 0x1000;
inline constexpr std::uint32_t kVAlignBottom = 0x2000;
inline constexpr std::uint32_t kAlignLeft = 0;
inline constexpr std::uint32_t kAlignCenter = 0x4000;
inline constexpr std::uint32_t kAlignRight = 0x8000;

enum class SizeMode { FromPosOrContent, Fixed, Full };

// The host of an element tree, as the elements see it.
class IContainer {
  public:
    virtual ~IContainer() = default;
    // 0 while the host has no window.
    virtual platform::WindowHandle GetContainerWindow() const = 0;
    // Adds the rectangle to the area the host repaints next.
    virtual void RequestRepaint(const Rect& rect) = 0;
};

// Called around an element's own painting: with before = true first (an
// answer of false skips the element's own painting), then with before =
// false.
class IBkWindowPaintHook {
  public:
    virtual ~IBkWindowPaintHook() = default;
    virtual bool OnElementPaint(CBkWindow* element, platform::DeviceContext& dc, const Rect& rect,
                                bool before) = 0;
};

// Receives the element's mouse messages.
class IBkMouseHook {
  public:
    virtual ~IBkMouseHook() = default;
    virtual void OnElementMouse(std::uint32_t message, CBkWindow* element, const Rect& rect,
                                Point point) = 0;
};

// Process-wide map from handle to element, under one lock.
class BkHandleMap {
  public:
    static ElementHandle Register(CBkWindow* element);
    static void Unregister(ElementHandle handle);
    // nullptr for 0 or a destroyed element.
    static CBkWindow* Find(ElementHandle handle);
    static std::size_t Count();
};

class CBkWindow : public CBkObject {
  public:
    explicit CBkWindow(const char* tag);
    ~CBkWindow() override;
    CBkWindow(const CBkWindow&) = delete;
    CBkWindow& operator=(const CBkWindow&) = delete;

    // Text with its string references replaced, every attribute in document
    // order, then `show`, and `width`, `height`, `float` for an element
    // without a 2- or 4-value position.
    bool Load(const tinyxml2::XMLElement* xml) override;
    // The common attributes; derived classes offer a pair to this first.
    AttrResult SetAttribute(std::string_view name, std::string_view value, bool loading) override;

    // Animation hooks, for the host's timeline.
    virtual void OnAnimationStarted() {}
    virtual void OnAnimationStopped() {}
    virtual void OnAnimationFrame() { NotifyInvalidate(); }
    virtual std::u16string GetTipText() const { return m_tip; }
    // A button-down on it in the header does not start a window drag.
    virtual bool AcceptsHeaderButtonDown() const { return m_headAcceptsButtonDown != 0; }
    // Sets the mouse cursor of the element's style class.
    virtual void SetCursorFromStyle();
    // new = (old | add) & ~remove; returns the old state.
    virtual std::uint32_t ModifyState(std::uint32_t add, std::uint32_t remove);
    virtual void SetContainer(IContainer* container) { m_container = container; }
    virtual ElementHandle HitTest(Point point, bool onlyEnabled);
    // Whether a change from `oldState` to the current state must repaint.
    virtual bool NeedsRedrawOnStateChange(std::uint32_t oldState) const;
    virtual bool IsContainer() const { return false; }
    // Background, paint hook and own painting, when the rectangle meets the
    // invalid area (nullptr = everything).
    virtual void Paint(platform::DeviceContext& dc, const Region* invalid);
    virtual void DrawBackground(platform::DeviceContext& dc);
    // Element messages: WM_SHOWWINDOW (wParam = show) here; controls add
    // mouse handling.
    virtual platform::LResult ProcessMessage(std::uint32_t message, platform::WParam wParam,
                                             platform::LParam lParam);
    platform::LResult SendElementMessage(std::uint32_t message, platform::WParam wParam = 0,
                                         platform::LParam lParam = 0) {
        return ProcessMessage(message, wParam, lParam);
    }

    // Layout. The container tells the element its origin and the size of
    // the box it is placed in.
    virtual void OnPlacement(Point origin, int boxWidth, int boxHeight);
    // The size calculation: from a 4-value position, else from the content,
    // inside the given box (none: unbounded).
    virtual Size CalcSize(std::optional<Size> box);

    // Own painting; the base draws the text.
    virtual void OnPaint(platform::DeviceContext& dc);

    // Tree.
    ElementHandle Handle() const { return m_handle; }
    ElementHandle ParentHandle() const { return m_parent; }
    CBkDialog* Parent() const;
    void SetParent(CBkDialog* parent);
    IContainer* Container() const { return m_container; }

    // Attributes and state.
    int Id() const { return m_id; }
    const Rect& GetRect() const { return m_rect; }
    void SetRect(const Rect& rect) { m_rect = rect; }
    const std::u16string& Text() const { return m_text; }
    void SetText(std::u16string text) { m_text = std::move(text); }
    std::uint32_t State() const { return m_state; }
    bool IsVisible() const { return (m_state & kStateHidden) == 0; }
    // Visible together with every ancestor.
    bool IsVisibleDeep() const;
    // Disabled itself or through an ancestor.
    bool IsDisabledDeep() const;
    const std::string& ClassName() const { return m_class; }
    const BkStyle& Style() const;
    const std::u16string& Href() const { return m_href; }
    const BkPos& Pos() const { return m_pos; }
    SizeMode WidthMode() const { return m_widthMode; }
    SizeMode HeightMode() const { return m_heightMode; }
    bool IsTransparent() const { return m_transparent != 0; }
    bool IsFloat() const { return m_float != 0; }
    int UserData() const { return m_userData; }
    int NotifyFlags() const { return m_notify; }
    Colorref BackgroundColor() const { return m_crBg; }
    std::uint16_t FontCode() const { return m_font; }
    bool DpiAware() const { return m_dpiAware; }
    void SetDpiAware(bool aware) { m_dpiAware = aware; }
    bool IsDpiScaled() const;
    std::uint32_t VAlign() const { return m_valign; }
    std::uint32_t Align() const { return m_align; }
    // Opacity bytes that an animation changes (255 = opaque).
    std::uint8_t Alpha() const { return m_alpha; }
    void SetAlpha(std::uint8_t alpha, std::uint8_t alpha2 = 255) {
        m_alpha = alpha;
        m_alpha2 = alpha2;
    }
    // The element's own transform (identity unless animated), applied about
    // its top-left corner.
    void SetTransform(const platform::Transform& t) { m_transform = t; }
    void SetPaintHook(IBkWindowPaintHook* hook) { m_paintHook = hook; }
    void SetMouseHook(IBkMouseHook* hook) { m_mouseHook = hook; }
    IBkMouseHook* MouseHook() const { return m_mouseHook; }
    bool MessageHandled() const { return m_messageHandled; }

    // Asks the host to repaint the element's rectangle (or `rect`) when the
    // element and all its ancestors are visible.
    void NotifyInvalidate();
    void NotifyInvalidate(const Rect& rect);

    // The sub-image index for the background skin: the raw state, or with
    // `correctdrawbg` 3 disabled, 2 pushed, 1 hovered, else 0.
    int BackgroundSkinState() const;
    // The corrected mapping on its own.
    int CorrectedState() const;

    // Content size of the text (plus margins) inside the box, or unbounded.
    Size ContentSize(std::optional<Size> box);
    // Draws the text with the state's font and colour (GDI or anti-aliased
    // path), in the rectangle shrunk by the class margins.
    void DrawElementText(platform::DeviceContext& dc);

  protected:
    // Reads `width` and `height` (an element without position).
    void ReadSizeAttributes(const char* width, const char* height);
    // The font code used for measuring: own, class, then up the tree; the
    // hover font while hovered.
    std::uint16_t MeasureFontCode() const;

    ElementHandle m_handle = 0;
    ElementHandle m_parent = 0;
    int m_id = 0;
    Rect m_rect;
    SizeMode m_widthMode = SizeMode::FromPosOrContent;
    SizeMode m_heightMode = SizeMode::FromPosOrContent;
    std::u16string m_text;
    int m_fixedWidth = 0;
    int m_fixedHeight = 0;
    std::uint32_t m_state = 0;
    std::uint32_t m_valign = kVAlignTop;
    std::uint32_t m_align = kAlignLeft;
    std::u16string m_href;
    int m_transparent = 0;
    std::u16string m_tip;
    std::string m_class;
    Colorref m_crBg = kNoColor;
    Colorref m_crText = kNoColor;
    std::uint16_t m_font = 0;
    int m_alphaText = -1;
    int m_headAcceptsButtonDown = 0;
    BkPos m_pos;
    IBkWindowPaintHook* m_paintHook = nullptr;  // not owned
    IBkMouseHook* m_mouseHook = nullptr;        // not owned
    int m_forceUpdateStyle = 0;
    int m_autoFixTextRect = 1;
    int m_border = 0;
    int m_correctDrawBg = 0;
    int m_userData = 0;
    bool m_dpiAware = false;
    IContainer* m_container = nullptr;  // not owned: the host outlives its elements
    std::uint8_t m_alpha = 255;
    std::uint8_t m_alpha2 = 255;
    platform::Transform m_transform;
    bool m_messageHandled = false;
    int m_notify = 0;
    int m_float = 0;
    std::uint32_t m_textMode = 0;
    bool m_textModeTaken = false;
};

}  // namespace zeph::ui
