// Repainting the 458 x 314 sample window (banner, texts, caption and install
// buttons, progress line): the whole window, and one small element after it
// asked for a repaint. The reference is the least any frame costs: clearing
// the back buffer and laying out and drawing one line of text. Each runs
// nine times; compare the medians.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "base/strings.h"
#include "platform/draw.h"
#include "platform/font.h"
#include "platform/paths.h"
#include "ui/bk_font.h"
#include "ui/bk_view.h"
#include "ui/resource_locator.h"

namespace {

using namespace zeph;

constexpr int kWidth = 458;
constexpr int kHeight = 314;

struct Sample {
    ui::CBkViewImpl view{ui::HostKind::ViewEx};
    platform::Bitmap buffer{kWidth, kHeight};
    Sample() {
        // A machine profile of its own, so that the user's stays untouched.
        static const bool prefix = [] {
            std::string dir = "/tmp/zeph-bench-XXXXXX";
            return mkdtemp(dir.data()) != nullptr && setenv("ZEPH_PREFIX", dir.c_str(), 1) == 0;
        }();
        (void)prefix;
        ui::BkFontPool::Instance().Reset(u"Microsoft YaHei");
        ui::ResourceLocator& locator = ui::ResourceLocator::Instance();
        locator.SetFolder(platform::ToWindowsPath(ZEPH_SAMPLE_DIR).value_or(u""));
        locator.LoadStrings(10002);
        locator.LoadSkins(10000);
        locator.LoadStyles(10001);
        if (!view.LoadLayout(11001)) {
            std::abort();
        }
        view.LayoutPanels({0, 0, kWidth, kHeight});
        Paint();  // pictures decoded and fonts made before timing
    }
    void Paint() {
        platform::DeviceContext dc(buffer);
        view.Paint(dc);
    }
};

void BM_ReferenceClearAndOneLine(benchmark::State& state) {
    platform::Bitmap buffer(kWidth, kHeight);
    platform::FontDesc desc = platform::DefaultGuiFontDesc();
    desc.face = u"Microsoft YaHei";
    auto font = platform::Font::Create(desc);
    for (auto _ : state) {
        buffer.Clear(0xFFFFFFFF);
        platform::DeviceContext dc(buffer);
        dc.SetFont(font);
        platform::Rect r{20, 192, 438, 210};
        dc.DrawText(u"正在下载，已完成 45%", r, 0x24);
        benchmark::DoNotOptimize(buffer.Pixel(30, 200));
    }
}
BENCHMARK(BM_ReferenceClearAndOneLine)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_FullRepaint(benchmark::State& state) {
    Sample sample;
    for (auto _ : state) {
        sample.view.InvalidateAll();
        sample.Paint();
        benchmark::DoNotOptimize(sample.buffer.Pixel(30, 200));
    }
}
BENCHMARK(BM_FullRepaint)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_SmallElementRepaint(benchmark::State& state) {
    Sample sample;
    ui::CBkWindow* close = sample.view.FindElementById(1);
    for (auto _ : state) {
        close->NotifyInvalidate();
        sample.Paint();
        benchmark::DoNotOptimize(sample.buffer.Pixel(440, 16));
    }
}
BENCHMARK(BM_SmallElementRepaint)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
