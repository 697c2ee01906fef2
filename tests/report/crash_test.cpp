// A crashing child process delivers its crash report to a telemetry
// endpoint on 127.0.0.1, then its signal takes the course it would have
// taken without the crash manager.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/strings.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/system_info.h"
#include "rules/environment_probes.h"
#include "rules/machine_identity.h"
#include "tests/report/report_test_util.h"
#include "tests/support/profile_fixture.h"

extern char** environ;

namespace zeph {
namespace {

struct ChildEnd {
    bool exited = false;
    int code = 0;  // exit code, or the signal that ended it
};

ChildEnd RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = REPORT_CRASH_CHILD;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    if (WIFEXITED(status)) {
        return {true, WEXITSTATUS(status)};
    }
    return {false, WIFSIGNALED(status) ? WTERMSIG(status) : -1};
}

TEST(CrashReport, ACrashingChildDeliversItsReport) {
    test::ProfileFixture profile;
    test::TelemetryServer telemetry;
    const auto endpoints = profile.Scratch().Write(
        "endpoints.ini", "[endpoints]\ntelemetry=" + telemetry.server.HostPort() + "\n");
    ::setenv("ZEPH_ENDPOINTS", endpoints.c_str(), 1);

    struct Case {
        const char* name;
        std::vector<std::string> args;
        uint32_t code;
        int32_t cid, tid;
        bool chained;  // the previous handler ends the child with 42
    } cases[] = {
        {"invalid access before the driver ran", {"segv"}, 0xC0000005, 0, 0, false},
        {"abort with the channel set",
         {"abort", "--channel", "222", "716"},
         0xC0000409,
         222,
         716,
         false},
        {"illegal instruction", {"ill"}, 0xC000001D, 0, 0, false},
        {"invalid access with a handler installed before",
         {"segv", "--chain"},
         0xC0000005,
         0,
         0,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        telemetry.server.ClearRequests();
        const int64_t before = platform::UnixTime();
        const ChildEnd end = RunChild(c.args);
        if (c.chained) {
            EXPECT_TRUE(end.exited && end.code == 42) << end.exited << " " << end.code;
        } else {
            // Ended by the signal, or by a sanitizer's own handler after it.
            EXPECT_FALSE(end.exited && end.code == 0);
        }

        const auto records = telemetry.Records();
        ASSERT_EQ(records.size(), 1u) << "one report per crash, posted before the child ended";
        const DecodedRecord& r = records[0];
        EXPECT_EQ(r.tableNumber, 3806);
        const auto columns = PublicBlockColumns(r);
        EXPECT_EQ(columns.cid, 0);
        EXPECT_EQ(columns.idex, U8(GetMachineId()));
        EXPECT_GE(columns.clientTime, before);
        EXPECT_LE(columns.clientTime, platform::UnixTime());
        EXPECT_EQ(r.Field("did")->text, U8(GetDeviceId()));
        EXPECT_EQ(r.Field("cid")->number, c.cid);
        EXPECT_EQ(r.Field("tid")->number, c.tid);
        EXPECT_EQ(r.Field("module_name")->text, "report_crash_child");
        EXPECT_EQ(r.Field("module_version")->text, "0.1.0.0");
        EXPECT_EQ(r.Field("process_name")->text, "report_crash_child");
        EXPECT_EQ(static_cast<uint32_t>(r.Field("exception_code")->number), c.code);
        EXPECT_NE(r.Field("exception_address")->number, 0);
        EXPECT_EQ(r.Field("os_kind")->number, OsKind());
        EXPECT_EQ(r.Field("wow64")->number, GetSystemInformation().is64BitSystem ? 1 : 0);
        const int64_t uptime = static_cast<int64_t>(platform::GetTickCount64() / 1000);
        EXPECT_LE(r.Field("uptime_seconds")->number, uptime);
        EXPECT_GE(r.Field("uptime_seconds")->number, uptime - 120);
    }
    ::unsetenv("ZEPH_ENDPOINTS");

    // The poster deleted every record file.
    const auto temp = platform::ToHostPath(platform::GetTempPath());
    ASSERT_TRUE(temp.has_value());
    for (const auto& entry : std::filesystem::directory_iterator(*temp)) {
        EXPECT_EQ(entry.path().filename().string().rfind("zeph-crash-", 0), std::string::npos)
            << entry.path();
    }
}

TEST(CrashReport, ThePosterSwitchPostsOnlyCrashRecords) {
    test::ProfileFixture profile;
    test::TelemetryServer telemetry;
    const std::string url = telemetry.server.Url("/c/");
    struct Case {
        const char* name;
        std::string fileBytes;  // empty: no file
        int exitCode;
    } cases[] = {
        {"missing file", "", 2},
        {"not a record", "hello", 2},
    };
    for (const auto& c : cases) {
        const auto path = profile.Scratch().Path() / "record.bin";
        if (!c.fileBytes.empty()) {
            profile.Scratch().Write("record.bin", c.fileBytes);
        }
        const ChildEnd end = RunChild({"--zeph-post-crash-record", path.string(), url});
        EXPECT_TRUE(end.exited) << c.name;
        EXPECT_EQ(end.code, c.exitCode) << c.name;
        EXPECT_FALSE(std::filesystem::exists(path)) << c.name;
    }
    EXPECT_EQ(telemetry.server.Count("/c/"), 0u);
    // Without the switch the program goes on as usual (here: its usage).
    EXPECT_EQ(RunChild({}).code, 2);
}

}  // namespace
}  // namespace zeph
