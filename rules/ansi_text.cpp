#include "rules/ansi_text.h"

#include "base/strings.h"
#include "platform/system_info.h"

namespace zeph {

std::u16string AnsiToWide(std::string_view text) {
    return CodePageToUtf16(text, platform::GetAnsiCodePage());
}

std::string WideToAnsi(std::u16string_view text) {
    return Utf16ToCodePage(text, platform::GetAnsiCodePage());
}

}  // namespace zeph
