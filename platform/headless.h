// The headless backend's own features: snapshots of top-level windows as
// PNG files (ZEPH_SHOTS). Windows, input and pixels work through the common
// interfaces (window.h, input.h, CaptureWindow).
#pragma once

#include <filesystem>
#include <optional>

namespace zeph::platform::headless {

// The snapshot folder: set explicitly, else $ZEPH_SHOTS, else none (no
// snapshots). Snapshots are numbered "%05u-w%u.png" (sequence, window) and
// written when a window's content changed, at most one per window every
// kSnapshotIntervalMs, plus one when the window is destroyed.
inline constexpr unsigned kSnapshotIntervalMs = 200;
void SetSnapshotFolder(std::optional<std::filesystem::path> folder);
std::optional<std::filesystem::path> SnapshotFolder();
// Writes the snapshots that are due now regardless of the interval.
void FlushSnapshots();

}  // namespace zeph::platform::headless
