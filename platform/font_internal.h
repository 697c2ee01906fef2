// The per-thread pango contexts shared by font.cpp and font_text.cpp.
#pragma once

#include <pango/pangocairo.h>

namespace zeph::platform::font_internal {

// A context for measuring: identity transform, our font options.
PangoContext* MeasureContext();
// A context for drawing; the caller updates it from its cairo context.
PangoContext* DrawContext();
// The font options every text is shaped and drawn with.
const cairo_font_options_t* FontOptions(bool antialias);

}  // namespace zeph::platform::font_internal
