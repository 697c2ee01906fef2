// Text drawing and measuring of the device context: the DrawText flags and
// the anti-aliased string path, both laid out with pango.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <vector>

#include "base/strings.h"
#include "platform/draw.h"
#include "platform/font.h"
#include "platform/font_internal.h"

namespace zeph::platform {

namespace {

enum class Ellipsis { None, End, Path, Word };
using Align = StringFormat::Align;

struct TextRules {
    Align align = Align::Near;
    Align lineAlign = Align::Near;
    bool singleLine = false;
    bool wrap = false;
    Ellipsis ellipsis = Ellipsis::None;
    bool lineLimit = false;
    bool clip = true;
    enum class Prefix { None, Process, Hide } prefix = Prefix::None;
    bool antialias = true;
};

struct PreparedText {
    std::string utf8;
    std::vector<std::pair<int, int>> underlines;  // byte ranges
};

// "&x" underlines x, "&&" is one "&"; with Hide the marks go without the
// underline.
PreparedText Prepare(std::u16string_view text, TextRules::Prefix prefix) {
    PreparedText out;
    if (prefix == TextRules::Prefix::None) {
        out.utf8 = Utf16ToUtf8(text);
        return out;
    }
    std::u16string plain;
    std::vector<std::size_t> marks;  // indexes into plain
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&') {
                marks.push_back(plain.size());
            }
        }
        plain.push_back(text[i]);
    }
    out.utf8 = Utf16ToUtf8(plain);
    if (prefix == TextRules::Prefix::Process) {
        for (std::size_t mark : marks) {
            const int start =
                static_cast<int>(Utf16ToUtf8(std::u16string_view(plain).substr(0, mark)).size());
            std::size_t len = 1;
            if (mark + 1 < plain.size() && plain[mark] >= 0xD800 && plain[mark] <= 0xDBFF) {
                len = 2;
            }
            const int end =
                start +
                static_cast<int>(Utf16ToUtf8(std::u16string_view(plain).substr(mark, len)).size());
            out.underlines.emplace_back(start, end);
        }
    }
    return out;
}

PangoAlignment ToPango(Align a) {
    switch (a) {
        case Align::Center:
            return PANGO_ALIGN_CENTER;
        case Align::Far:
            return PANGO_ALIGN_RIGHT;
        case Align::Near:
            break;
    }
    return PANGO_ALIGN_LEFT;
}

struct Laid {
    PangoLayout* layout = nullptr;
    bool widthBound = false;
    double width = 0;   // widest visible line
    double height = 0;  // visible lines
    double inkX = 0;    // logical x offset of the layout
    ~Laid() {
        if (layout != nullptr) {
            g_object_unref(layout);
        }
    }
};

void LayOut(Laid& laid, PangoContext* ctx, const Font& font, const PreparedText& text,
            const TextRules& rules, double boxW, double boxH) {
    PangoLayout* layout = pango_layout_new(ctx);
    laid.layout = layout;
    pango_layout_set_font_description(
        layout, static_cast<const PangoFontDescription*>(font.NativeDescription()));
    pango_layout_set_text(layout, text.utf8.data(), static_cast<int>(text.utf8.size()));
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.Desc().underline) {
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
    for (auto [start, end] : text.underlines) {
        PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        a->start_index = static_cast<guint>(start);
        a->end_index = static_cast<guint>(end);
        pango_attr_list_insert(attrs, a);
    }
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
    pango_layout_set_single_paragraph_mode(layout, rules.singleLine ? TRUE : FALSE);
    pango_layout_set_alignment(layout, ToPango(rules.align));

    if ((rules.wrap || rules.ellipsis != Ellipsis::None) && boxW > 0) {
        laid.widthBound = true;
        pango_layout_set_width(layout, static_cast<int>(boxW * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
        switch (rules.ellipsis) {
            case Ellipsis::None:
                break;
            case Ellipsis::End:
            case Ellipsis::Word:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
                break;
            case Ellipsis::Path:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
                break;
        }
        if (rules.ellipsis != Ellipsis::None) {
            // Wrapped text is cut with the ellipsis where the box ends;
            // unwrapped text gets one line per paragraph.
            pango_layout_set_height(
                layout, (rules.wrap && boxH > 0) ? static_cast<int>(boxH * PANGO_SCALE) : -1);
        }
    }

    // Visible extent: every line, or with a line limit only the lines that
    // fit whole.
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    double top = -1;
    double bottom = 0;
    double minX = 0;
    bool first = true;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        const double lineTop = static_cast<double>(logical.y) / PANGO_SCALE;
        const double lineBottom = static_cast<double>(logical.y + logical.height) / PANGO_SCALE;
        if (rules.lineLimit && boxH > 0 && lineBottom > boxH + 0.01 && !first) {
            break;
        }
        if (rules.lineLimit && boxH > 0 && lineBottom > boxH + 0.01 && first) {
            // Not even the first line fits: nothing is shown.
            top = 0;
            bottom = 0;
            laid.width = 0;
            break;
        }
        const double x = static_cast<double>(logical.x) / PANGO_SCALE;
        const double w = static_cast<double>(logical.width) / PANGO_SCALE;
        if (first) {
            top = lineTop;
            minX = x;
        }
        minX = std::min(minX, x);
        laid.width = std::max(laid.width, w);
        bottom = lineBottom;
        first = false;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    laid.height = std::max(0.0, bottom - std::max(top, 0.0));
    laid.inkX = minX;
}

struct Placement {
    double x = 0;
    double y = 0;
};

Placement Place(const Laid& laid, const TextRules& rules, double boxX, double boxY, double boxW,
                double boxH, bool verticalAlign) {
    Placement p{boxX, boxY};
    if (!laid.widthBound) {
        const double w = laid.width;
        switch (rules.align) {
            case Align::Near:
                break;
            case Align::Center:
                p.x = boxX + std::floor((boxW - w) / 2);
                break;
            case Align::Far:
                p.x = boxX + boxW - w;
                break;
        }
        p.x -= laid.inkX;
    }
    if (verticalAlign) {
        switch (rules.lineAlign) {
            case Align::Near:
                break;
            case Align::Center:
                p.y = boxY + std::floor((boxH - laid.height) / 2);
                break;
            case Align::Far:
                p.y = boxY + boxH - laid.height;
                break;
        }
    }
    return p;
}

void Render(cairo_t* cr, PangoContext* ctx, const Font& font, const PreparedText& text,
            const TextRules& rules, double boxX, double boxY, double boxW, double boxH,
            bool verticalAlign, double r, double g, double b, double a,
            std::optional<Colorref> background) {
    cairo_save(cr);
    pango_cairo_update_context(cr, ctx);
    pango_cairo_context_set_font_options(ctx, font_internal::FontOptions(rules.antialias));
    Laid laid;
    LayOut(laid, ctx, font, text, rules, boxW, boxH);
    const Placement p = Place(laid, rules, boxX, boxY, boxW, boxH, verticalAlign);
    if (rules.clip) {
        cairo_rectangle(cr, boxX, boxY, std::max(boxW, 0.0), std::max(boxH, 0.0));
        cairo_clip(cr);
    }
    if (rules.lineLimit && boxH > 0) {
        cairo_rectangle(cr, p.x - 1e4, p.y, 2e4, laid.height);
        cairo_clip(cr);
    }
    if (background) {
        cairo_set_source_rgb(cr, RedOf(*background) / 255.0, GreenOf(*background) / 255.0,
                             BlueOf(*background) / 255.0);
        const double x = laid.widthBound ? boxX : p.x + laid.inkX;
        cairo_rectangle(cr, x, p.y, laid.widthBound ? boxW : laid.width, laid.height);
        cairo_fill(cr);
    }
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_move_to(cr, std::round(p.x), std::round(p.y));
    pango_cairo_show_layout(cr, laid.layout);
    cairo_restore(cr);
}

TextRules FromDrawTextFlags(std::uint32_t format) {
    TextRules rules;
    rules.align = (format & dt::kCenter)  ? Align::Center
                  : (format & dt::kRight) ? Align::Far
                                          : Align::Near;
    rules.singleLine = (format & dt::kSingleLine) != 0;
    // Vertical placement only applies to a single line.
    if (rules.singleLine) {
        rules.lineAlign = (format & dt::kVCenter)  ? Align::Center
                          : (format & dt::kBottom) ? Align::Far
                                                   : Align::Near;
    }
    rules.wrap = !rules.singleLine && (format & dt::kWordBreak) != 0;
    if (format & dt::kEndEllipsis) {
        rules.ellipsis = Ellipsis::End;
    } else if (format & dt::kPathEllipsis) {
        rules.ellipsis = Ellipsis::Path;
    } else if (format & dt::kWordEllipsis) {
        rules.ellipsis = Ellipsis::Word;
    }
    rules.clip = (format & dt::kNoClip) == 0;
    if ((format & dt::kNoPrefix) == 0) {
        rules.prefix =
            (format & dt::kHidePrefix) ? TextRules::Prefix::Hide : TextRules::Prefix::Process;
    }
    return rules;
}

TextRules FromStringFormat(const StringFormat& f, double width) {
    TextRules rules;
    rules.align = f.align;
    rules.lineAlign = f.lineAlign;
    rules.wrap = !f.noWrap && width > 0;
    switch (f.trimming) {
        case StringFormat::Trimming::EllipsisCharacter:
            rules.ellipsis = Ellipsis::End;
            break;
        case StringFormat::Trimming::EllipsisWord:
            rules.ellipsis = Ellipsis::Word;
            break;
        case StringFormat::Trimming::EllipsisPath:
            rules.ellipsis = Ellipsis::Path;
            break;
        default:
            break;
    }
    rules.lineLimit = f.lineLimit;
    rules.clip = !f.noClip;
    rules.antialias = !(f.renderingHint == 1 || f.renderingHint == 2);
    return rules;
}

int DrawTextImpl(DeviceContext& dc, std::u16string_view text, Rect& rect, std::uint32_t format,
                 std::optional<std::pair<Colorref, Point>> shadow) {
    const Font& font = *dc.CurrentFont();
    const TextRules rules = FromDrawTextFlags(format);
    const PreparedText prepared = Prepare(text, rules.prefix);
    const double boxW = rect.Width();
    const double boxH = rect.Height();

    if (format & dt::kCalcRect) {
        Laid laid;
        TextRules measure = rules;
        measure.ellipsis = Ellipsis::None;
        LayOut(laid, font_internal::MeasureContext(), font, prepared, measure, boxW, boxH);
        int w = static_cast<int>(std::ceil(laid.width));
        if (rules.ellipsis != Ellipsis::None && boxW > 0) {
            w = std::min(w, rect.Width());
        }
        const int h = static_cast<int>(std::ceil(laid.height));
        rect.right = rect.left + w;
        rect.bottom = rect.top + h;
        return h;
    }

    cairo_t* cr = static_cast<cairo_t*>(dc.NativeContext());
    PangoContext* ctx = font_internal::DrawContext();
    if (shadow) {
        const Colorref c = shadow->first;
        Render(cr, ctx, font, prepared, rules, rect.left + shadow->second.x,
               rect.top + shadow->second.y, boxW, boxH, true, RedOf(c) / 255.0, GreenOf(c) / 255.0,
               BlueOf(c) / 255.0, 1.0, std::nullopt);
    }
    const Colorref c = dc.TextColor();
    Render(cr, ctx, font, prepared, rules, rect.left, rect.top, boxW, boxH, true, RedOf(c) / 255.0,
           GreenOf(c) / 255.0, BlueOf(c) / 255.0, 1.0, dc.Background());

    Laid laid;
    LayOut(laid, font_internal::MeasureContext(), font, prepared, rules, boxW, boxH);
    const int h = static_cast<int>(std::ceil(laid.height));
    if (rules.singleLine && rules.lineAlign != Align::Near) {
        const Placement p = Place(laid, rules, rect.left, rect.top, boxW, boxH, true);
        return static_cast<int>(std::ceil(p.y + laid.height)) - rect.top;
    }
    return h;
}

}  // namespace

int DeviceContext::DrawText(std::u16string_view text, Rect& rect, std::uint32_t format) {
    return DrawTextImpl(*this, text, rect, format, std::nullopt);
}

int DeviceContext::DrawShadowText(std::u16string_view text, Rect& rect, std::uint32_t format,
                                  Colorref shadowColor, int dx, int dy) {
    return DrawTextImpl(*this, text, rect, format, std::make_pair(shadowColor, Point{dx, dy}));
}

void DeviceContext::DrawString(std::u16string_view text, const Font& font, double x, double y,
                               double width, double height, const StringFormat& format,
                               Argb color) {
    TextRules rules = FromStringFormat(format, width);
    if (width <= 0 || height <= 0) {
        rules.clip = false;
    }
    const PreparedText prepared = Prepare(text, TextRules::Prefix::None);
    Render(static_cast<cairo_t*>(NativeContext()), font_internal::DrawContext(), font, prepared,
           rules, x, y, width, height, height > 0, ((color >> 16) & 0xFF) / 255.0,
           ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0, ((color >> 24) & 0xFF) / 255.0,
           std::nullopt);
}

SizeF DeviceContext::MeasureString(std::u16string_view text, const Font& font, double width,
                                   double height, const StringFormat& format) {
    const TextRules rules = FromStringFormat(format, width);
    const PreparedText prepared = Prepare(text, TextRules::Prefix::None);
    Laid laid;
    LayOut(laid, font_internal::MeasureContext(), font, prepared, rules, width, height);
    return {laid.width, laid.height};
}

}  // namespace zeph::platform
