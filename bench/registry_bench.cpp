// The registry of the machine profile: reads are served from the parsed hive
// while its file is unchanged; a write locks, reads, rewrites and flushes the
// whole hive. Compared with reading and writing the same bytes as a plain
// file, the reference for what a hive write costs at least.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "base/strings.h"
#include "platform/host_io.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace {

using namespace zeph::platform;

// A profile in a temporary folder with a hive of `keys` keys of 8 values.
class BenchProfile {
  public:
    explicit BenchProfile(int keys) {
        char pattern[] = "/tmp/zeph-bench-XXXXXX";
        m_dir = ::mkdtemp(pattern);
        auto profile = Profile::Open(m_dir + "/prefix");
        SetCurrentProfile(profile);
        std::string text = "Windows Registry Editor Version 5.00\n";
        for (int k = 0; k < keys; ++k) {
            text += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor" + std::to_string(k) +
                    "\\Product]\n";
            for (int v = 0; v < 8; ++v) {
                text += "\"value" + std::to_string(v) +
                        "\"=\"C:\\\\Program Files\\\\Vendor\\\\file.exe\"\n";
            }
        }
        std::string error;
        ImportRegText(text, RegView::Wow64_64, error);
        m_hive = m_dir + "/prefix/registry/HKLM.reg";
    }
    ~BenchProfile() {
        SetCurrentProfile(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::string& Hive() const { return m_hive; }
    const std::string& Dir() const { return m_dir; }

  private:
    std::string m_dir;
    std::string m_hive;
};

void BM_OpenAndQuery(benchmark::State& state) {
    BenchProfile profile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RegKey key;
        RegKey::Open(Hive::LocalMachine, u"SOFTWARE\\Vendor7\\Product", RegAccess::Read,
                     RegView::Default, key);
        char16_t buffer[260];
        uint32_t size = sizeof buffer;
        RegType type;
        benchmark::DoNotOptimize(key.QueryValue(u"value3", &type, buffer, &size));
    }
}
BENCHMARK(BM_OpenAndQuery)->Arg(10)->Arg(500);

void BM_SetValue(benchmark::State& state) {
    BenchProfile profile(static_cast<int>(state.range(0)));
    RegKey key;
    RegKey::Create(Hive::LocalMachine, u"SOFTWARE\\Vendor7\\Product", RegView::Default, key);
    uint32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(key.SetDword(u"counter", ++n));
    }
}
BENCHMARK(BM_SetValue)->Arg(10)->Arg(500)->Unit(benchmark::kMicrosecond);

// The reference: replacing a file of the hive's size the same safe way.
void BM_ReplaceFileOfHiveSize(benchmark::State& state) {
    BenchProfile profile(static_cast<int>(state.range(0)));
    std::string bytes;
    ReadHostFile(profile.Hive(), bytes);
    const std::string path = profile.Dir() + "/copy.reg";
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReplaceHostFile(path, bytes));
    }
}
BENCHMARK(BM_ReplaceFileOfHiveSize)->Arg(10)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
