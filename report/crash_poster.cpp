#include "report/crash_poster.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/strings.h"
#include "platform/system_info.h"
#include "report/record_decoder.h"
#include "report/reply_envelope.h"
#include "report/transport.h"

namespace zeph {

int RunCrashRecordPoster(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], kPostCrashRecordSwitch) != 0) {
        return -1;
    }
    if (argc != 4) {
        return 2;
    }
    const std::filesystem::path path = argv[2];
    std::vector<uint8_t> record;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return 2;
        }
        record.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);

    // Only what the crash path writes: this switch is no general upload.
    const DecodeResult decoded = DecodeRecord(record);
    if (!decoded.Ok() || decoded.record.tableNumber != TableNumber(ReportTable::Crash)) {
        return 2;
    }
    const std::string reply = PostRecordTo(U16(argv[3]), record.data(), record.size());
    return ReadReplyEnvelope(reply, platform::GetAnsiCodePage()).accepted ? 0 : 1;
}

}  // namespace zeph
