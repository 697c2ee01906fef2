// Judges arbitrary bytes as the telemetry endpoint's reply. Acceptance needs
// a valid envelope, and then depends on the text alone.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/strings.h"
#include "report/reply_envelope.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "reply_envelope_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const zeph::ReplyVerdict verdict = zeph::ReadReplyEnvelope(body, zeph::kCodePageGbk);
    Check(!verdict.accepted || verdict.envelopeValid, "accepted without a valid envelope");
    if (verdict.envelopeValid) {
        Check(verdict.accepted == zeph::ReplyTextAccepts(verdict.text),
              "acceptance is not the text's");
        // The same text in a fresh envelope is judged the same.
        const std::string_view text = body.substr(7, body.substr(7).find('\0'));
        const auto again =
            zeph::ReadReplyEnvelope(zeph::MakeReplyEnvelope(text), zeph::kCodePageGbk);
        Check(again.envelopeValid && again.accepted == verdict.accepted,
              "re-enveloped text differs");
    }
    // The text reader alone never depends on bytes it did not get.
    zeph::ReplyTextAccepts(zeph::CodePageToUtf16(body, zeph::kCodePageGbk));
    return 0;
}
