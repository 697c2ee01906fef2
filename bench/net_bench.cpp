// File downloads from a loopback server against the curl tool fetching the
// same file from the same server in the same run. Each iteration runs
// `curl -s -o FILE` first and then ours, so that both see the same page
// cache and machine load; the figures are the ratio of the two speeds
// (vs_curl: 1.0 is as fast as curl) and how much our process's peak memory
// grew during our download (peak_growth_MiB), for a 64 MiB and a 512 MiB
// file: the same growth for both sizes means memory does not follow the
// file size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/strings.h"
#include "net/downloader.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tests/support/loopback_server.h"

namespace {

namespace fs = std::filesystem;
constexpr uint64_t kMiB = 1024 * 1024;

struct Bench {
    fs::path dir;
    std::unique_ptr<zeph::test::LoopbackServer> server;

    Bench() {
        dir = fs::temp_directory_path() / ("zeph-bench-net-" + std::to_string(getpid()));
        fs::create_directories(dir / "out");
        zeph::platform::SetCurrentProfile(zeph::platform::Profile::Open((dir / "prefix").string()));
        server = std::make_unique<zeph::test::LoopbackServer>();
    }
    ~Bench() {
        server.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // The file of `mib` MiB, made on first use and served at "/<mib>.bin".
    std::string Url(uint64_t mib) {
        const fs::path file = dir / (std::to_string(mib) + ".bin");
        if (!fs::exists(file)) {
            std::ofstream out(file, std::ios::binary);
            std::string block(kMiB, '\0');
            for (uint64_t i = 0; i < mib; ++i) {
                for (size_t j = 0; j < block.size(); j += 4096) {
                    block[j] = static_cast<char>(i + j);
                }
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
            }
            server->ServeFile("/" + std::to_string(mib) + ".bin", file.string());
        }
        return server->Url("/" + std::to_string(mib) + ".bin");
    }
};

Bench& Shared() {
    static Bench bench;
    return bench;
}

// VmRSS or VmHWM of this process, in KiB.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return -1;
}

// Lets VmHWM start again from the current size.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

template <typename Fn>
double Seconds(Fn&& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the reference and ours once per iteration and reports the figures.
template <typename Ours>
void Compare(benchmark::State& state, Ours ours) {
    Bench& bench = Shared();
    const uint64_t mib = static_cast<uint64_t>(state.range(0));
    const std::string url = bench.Url(mib);
    const fs::path out = bench.dir / "out" / "file.bin";
    const std::u16string winOut = zeph::platform::ToWindowsPath(out.string()).value();
    const std::string command = "curl -s -o '" + out.string() + "' '" + url + "'";

    double curlTotal = 0, oursTotal = 0;
    long peakGrowth = 0;
    for (auto _ : state) {
        fs::remove(out);
        curlTotal += Seconds([&] {
            if (std::system(command.c_str()) != 0) {
                state.SkipWithError("curl failed");
            }
        });
        fs::remove(out);
        ResetPeak();
        const long before = StatusKiB("VmRSS:");
        const double seconds = Seconds([&] {
            if (!ours(url, winOut)) {
                state.SkipWithError("download failed");
            }
        });
        peakGrowth = std::max(peakGrowth, StatusKiB("VmHWM:") - before);
        if (fs::file_size(out) != mib * kMiB) {
            state.SkipWithError("wrong file size");
        }
        oursTotal += seconds;
        state.SetIterationTime(seconds);
    }
    const double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(n * static_cast<double>(mib * kMiB)));
    state.counters["curl_MBps"] = n * static_cast<double>(mib * kMiB) / 1e6 / curlTotal;
    state.counters["vs_curl"] = curlTotal / oursTotal;
    state.counters["peak_growth_MiB"] = static_cast<double>(peakGrowth) / 1024.0;
}

void BM_DownloadUrlToFile(benchmark::State& state) {
    Compare(state, [](const std::string& url, const std::u16string& path) {
        int aux = 0;
        return zeph::net::DownloadUrlToFile(zeph::U16(url), path, aux, nullptr, 0) ==
               zeph::net::DownloadCode::Ok;
    });
}
BENCHMARK(BM_DownloadUrlToFile)
    ->Arg(64)
    ->Arg(512)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_KCurlDownloader(benchmark::State& state) {
    Compare(state, [](const std::string& url, const std::u16string& path) {
        int result = 0;
        return zeph::net::KCurlDownloader().Download(zeph::U16(url), path, result, nullptr) ==
               zeph::net::DownloadCode::Ok;
    });
}
BENCHMARK(BM_KCurlDownloader)
    ->Arg(64)
    ->Arg(512)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
