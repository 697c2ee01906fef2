// The desktop shell: opening a URL or a file with its default program, and
// the clipboard's text.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/win_error.h"

namespace zeph::platform {

// ShellExecute "open" through xdg-open, as the interactive user when this
// process runs as root. A Windows path is opened as its host file. Fails
// with NoAssociation when xdg-open is missing or reports failure,
// FileNotFound for a file that does not exist.
WinError ShellOpen(std::u16string_view target);

// The window backend registers the provider of the clipboard's text; with
// none (headless) the clipboard is empty.
using ClipboardProvider = std::function<std::u16string()>;
void SetClipboardProvider(ClipboardProvider provider);
std::u16string GetClipboardText();

}  // namespace zeph::platform
