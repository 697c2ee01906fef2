// zephctl decode-record: one posted telemetry record as JSON, with the
// installer's own decoder.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "report/record_decoder.h"
#include "tools/command.h"

namespace zephctl {
namespace {

const char kDecodeRecordHelp[] =
    "usage: zephctl decode-record [FILE|-] [--compact] [--fields]\n"
    "\n"
    "Decodes one report record (the body the installer posts to the telemetry\n"
    "endpoint, or a crash record file) and prints it as JSON: the header's\n"
    "length and CRC, the table number and name, the public block's fields and\n"
    "the table's fields in order, by name. Texts are unmasked and printed as\n"
    "UTF-8, the machine identifier as 32 hexadecimal digits, bits as 0 or 1.\n"
    "A malformed record fails with the reason (length, version bytes, block\n"
    "count, CRC, unknown table, truncated field, bad text, trailing bytes).\n"
    "\n"
    "  FILE       the record; standard input when absent or -\n"
    "  --compact  one line instead of indented JSON\n"
    "  --fields   only the table's values as a JSON array (the telemetry\n"
    "             store's fields column)\n";

int RunDecodeRecord(const Args& input) {
    Args args = input;
    const bool compact = TakeFlag(args, "--compact");
    const bool fieldsOnly = TakeFlag(args, "--fields");
    std::string error;
    if (!NoOptionsLeft(args, error)) {
        return Fail(error);
    }
    if (args.size() > 1) {
        return Fail("one record file at most (zephctl decode-record --help)");
    }
    const std::string name = args.empty() ? "-" : args[0];
    std::string bytes;
    if (name == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(name, std::ios::binary);
        if (!in) {
            return Fail("cannot read " + name);
        }
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    const zeph::DecodeResult result = zeph::DecodeRecord(bytes);
    if (!result.Ok()) {
        return Fail("not a valid record: " + result.reason);
    }
    const std::string json = fieldsOnly ? zeph::FieldsJsonArray(result.record)
                                        : zeph::RecordToJson(result.record, !compact);
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
}

}  // namespace

ZEPH_COMMAND("decode-record", "one posted telemetry record as JSON", RunDecodeRecord,
             kDecodeRecordHelp);

}  // namespace zephctl
