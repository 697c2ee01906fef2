// The telemetry endpoint's reply to a record, and whether it accepts it.
//
//   offset 0  u16  total length of the body, header included
//          2  u8   2
//          3  u32  CRC-32 of the bytes from offset 7 on
//          7  ...  INI-style text in the ANSI code page; accepted when
//                  section "common" has "result" = 1
#pragma once

#include <string>
#include <string_view>

namespace zeph {

struct ReplyVerdict {
    bool envelopeValid = false;  // length, marker and CRC were right
    bool accepted = false;       // and the text says result = 1
    std::u16string text;         // the reply text, when the envelope was valid
};

// Judges a reply body. The text ends at its first NUL byte and is converted
// from `ansiCodePage`.
ReplyVerdict ReadReplyEnvelope(std::string_view body, unsigned ansiCodePage);

// The reading of the reply text: INI lines from the first '[' on, stopping
// (not accepted) at the first line that is neither blank, a section header
// nor a key=value pair; accepted when [common] result reads as 1. Section
// and key names ignore letter case; a later value of a key replaces an
// earlier one.
bool ReplyTextAccepts(std::u16string_view text);

// A reply body that carries `text` (for servers and tests).
std::string MakeReplyEnvelope(std::string_view text);

}  // namespace zeph
