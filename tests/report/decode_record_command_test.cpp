// zephctl decode-record as an operator runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"

namespace zeph {
namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
};

// Runs zephctl with `args` (shell words), standard error folded into the output.
Outcome Zephctl(const std::string& args) {
    Outcome outcome;
    const std::string command = std::string(ZEPHCTL_PATH) + " decode-record " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        outcome.out.append(buffer, n);
    }
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(DecodeRecordCommand, PrintsARecordOrWhyItIsNone) {
    const std::string record = (test::DataDir() / "fuzz/report_record/status.rec").string();
    test::TempDir dir;
    const std::string junk = dir.Write("junk.bin", "0123456789abcdef").string();
    struct Case {
        const char* name;
        std::string args;
        int exitCode;
        const char* output;  // a part of it
    } cases[] = {
        {"indented", record, 0, "\n  \"table_no\": 5847,\n"},
        {"compact from standard input", "--compact - < " + record, 0,
         "\"fields\":{\"status_kind\":2,\"what\":1,\"value\":0}}\n"},
        {"fields only", "--fields " + record, 0, "[2,1,0]\n"},
        {"malformed", junk, 1, "zephctl: not a valid record: the header states 12592 bytes"},
        {"missing file", dir.Str() + "/none.bin", 1, "zephctl: cannot read"},
        {"two files", record + " " + record, 1, "zephctl: one record file at most"},
        {"unknown option", "--pretty " + record, 1, "zephctl: unknown option --pretty"},
        {"help", "--help", 0, "usage: zephctl decode-record"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Zephctl(c.args);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.name << "\n" << outcome.out;
        EXPECT_NE(outcome.out.find(c.output), std::string::npos) << c.name << "\n" << outcome.out;
    }
}

}  // namespace
}  // namespace zeph
