// Fonts: LOGFONT-like descriptions resolved to pango font descriptions.
#include "platform/font.h"

#include <pango/pangocairo.h>

#include <cmath>

#include "base/strings.h"
#include "platform/font_internal.h"

namespace zeph::platform {

namespace font_internal {

namespace {

struct Engine {
    PangoContext* measure = nullptr;
    PangoContext* draw = nullptr;
    Engine() {
        PangoFontMap* map = pango_cairo_font_map_get_default();  // per thread, not ours
        measure = pango_font_map_create_context(map);
        draw = pango_font_map_create_context(map);
        for (PangoContext* ctx : {measure, draw}) {
            // Chinese text first: a CJK face then serves digits and Latin
            // letters too instead of a per-run fallback.
            pango_context_set_language(ctx, pango_language_from_string("zh-cn"));
            pango_cairo_context_set_font_options(ctx, FontOptions(true));
            pango_cairo_context_set_resolution(ctx, 96);
        }
    }
    ~Engine() {
        g_object_unref(measure);
        g_object_unref(draw);
    }
};

Engine& ThreadEngine() {
    thread_local Engine engine;
    return engine;
}

cairo_font_options_t* MakeOptions(bool antialias) {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
    // Whole-pixel advances, as the GDI text the layouts were made for.
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_subpixel_order(o, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    return o;
}

}  // namespace

PangoContext* MeasureContext() {
    return ThreadEngine().measure;
}
PangoContext* DrawContext() {
    return ThreadEngine().draw;
}

const cairo_font_options_t* FontOptions(bool antialias) {
    static const cairo_font_options_t* smooth = MakeOptions(true);
    static const cairo_font_options_t* sharp = MakeOptions(false);
    return antialias ? smooth : sharp;
}

}  // namespace font_internal

namespace {

// Installed faces asked for after the requested one, so that a Windows face
// name resolves to a CJK face as a whole.
constexpr const char* kFallbackFamilies =
    ",WenQuanYi Micro Hei,Noto Sans CJK SC,Noto Sans SC,DejaVu Sans,sans-serif";

// LOGFONT heights beyond this are not fonts but mistakes.
constexpr int kMaxFontHeight = 2048;

PangoFontDescription* Describe(const FontDesc& desc, double pixelSize) {
    PangoFontDescription* d = pango_font_description_new();
    std::string families = Utf16ToUtf8(desc.face);
    families += kFallbackFamilies;
    pango_font_description_set_family(d, families.c_str());
    pango_font_description_set_weight(d,
                                      static_cast<PangoWeight>(std::clamp(desc.weight, 100, 1000)));
    pango_font_description_set_style(d, desc.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, pixelSize * PANGO_SCALE);
    return d;
}

}  // namespace

FontDesc DefaultGuiFontDesc() {
    FontDesc d;
    d.face = u"宋体";
    d.height = -12;
    d.weight = 400;
    return d;
}

std::shared_ptr<const Font> Font::Create(const FontDesc& desc) {
    if (std::abs(desc.height) > kMaxFontHeight) {
        return nullptr;
    }
    double pixelSize = 12;
    if (desc.height < 0) {
        pixelSize = -desc.height;
    } else if (desc.height > 0) {
        // A cell height: find the em size whose ascent + descent equals it.
        constexpr double kProbe = 100;
        PangoFontDescription* probe = Describe(desc, kProbe);
        PangoFontMetrics* m =
            pango_context_get_metrics(font_internal::MeasureContext(), probe, nullptr);
        const double cell = static_cast<double>(pango_font_metrics_get_ascent(m) +
                                                pango_font_metrics_get_descent(m)) /
                            PANGO_SCALE;
        pango_font_metrics_unref(m);
        pango_font_description_free(probe);
        if (cell > 0) {
            pixelSize = desc.height * kProbe / cell;
        }
    }
    void* native = Describe(desc, pixelSize);
    return std::shared_ptr<const Font>(new Font(desc, native, pixelSize));
}

Font::Font(const FontDesc& desc, void* native, double pixelSize)
    : m_desc(desc), m_native(native), m_pixelSize(pixelSize) {}

Font::~Font() {
    pango_font_description_free(static_cast<PangoFontDescription*>(m_native));
}

Font::Metrics Font::GetMetrics() const {
    PangoFontMetrics* m =
        pango_context_get_metrics(font_internal::MeasureContext(),
                                  static_cast<const PangoFontDescription*>(m_native), nullptr);
    Metrics out;
    out.ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(m));
    out.descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(m));
    out.height = out.ascent + out.descent;
    pango_font_metrics_unref(m);
    return out;
}

Size Font::MeasureLine(std::u16string_view text) const {
    PangoLayout* layout = pango_layout_new(font_internal::MeasureContext());
    pango_layout_set_font_description(layout, static_cast<const PangoFontDescription*>(m_native));
    pango_layout_set_single_paragraph_mode(layout, TRUE);
    const std::string utf8 = Utf16ToUtf8(text);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    g_object_unref(layout);
    return {w, h};
}

const std::shared_ptr<const Font>& DefaultFont() {
    thread_local const std::shared_ptr<const Font> font = Font::Create(DefaultGuiFontDesc());
    return font;
}

}  // namespace zeph::platform
