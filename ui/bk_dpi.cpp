// The DPI provider.
#include "ui/bk_dpi.h"

#include <cmath>

#include "platform/window.h"

namespace zeph::ui {

namespace {

struct State {
    bool decided = false;
    std::optional<double> factor;
};

State& TheState() {
    static State state;
    return state;
}

const std::optional<double>& Current() {
    State& s = TheState();
    if (!s.decided) {
        s.decided = true;
        // A scale of 1 is no scaling at all.
        auto scale = platform::GetDisplayScale();
        if (scale && std::abs(*scale - 1.0) > 0.01) {
            s.factor = scale;
        }
    }
    return s.factor;
}

}  // namespace

void BkDpi::SetFactor(std::optional<double> factor) {
    TheState().decided = true;
    TheState().factor = factor;
}

bool BkDpi::IsActive() {
    return Current().has_value();
}

double BkDpi::Factor() {
    return Current().value_or(1.0);
}

int BkDpi::Scale(int value) {
    if (!IsActive()) {
        return value;
    }
    return static_cast<int>(std::lround(value * Factor()));
}

}  // namespace zeph::ui
