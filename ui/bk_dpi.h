// DPI scaling: whether it is active, the factor, and scaling of numbers.
// Without a provider nothing is scaled. The default provider takes the
// display scale that the window backend reports (the SDL backend may report
// one; headless reports none).
#pragma once

#include <optional>

namespace zeph::ui {

class BkDpi {
  public:
    // Active scaling with this factor, or none (nullopt). Replaces the
    // default provider.
    static void SetFactor(std::optional<double> factor);
    static bool IsActive();
    static double Factor();  // 1 when not active
    // The number scaled and rounded to the nearest pixel.
    static int Scale(int value);
};

}  // namespace zeph::ui
