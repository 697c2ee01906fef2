// JSON parsing and writing of documents shaped like the ones the installer
// reads: the catalogue answer (a few dozen members) and a large list.
#include <benchmark/benchmark.h>

#include "base/format.h"
#include "base/json.h"

namespace {

std::u16string CatalogueAnswer() {
    std::u16string text = u"{\"ret\":0,\"msg\":\"ok\",\"data\":{";
    for (int i = 0; i < 40; ++i) {
        text += zeph::FormatW(u"\"field%d\":\"value %d with \\u4e2d\\u6587 text\",", i, i);
    }
    text += u"\"size\":34567890,\"list\":[1,2,3,4,5,6,7,8,9,10]}}";
    return text;
}

std::u16string LargeList(int items) {
    std::u16string text = u"[";
    for (int i = 0; i < items; ++i) {
        text += zeph::FormatW(u"%s{\"id\":%d,\"name\":\"item %d\",\"on\":true,\"tags\":[\"a\",\"b\"]}",
                              i ? u"," : u"", i, i);
    }
    return text + u"]";
}

void BM_ParseCatalogueAnswer(benchmark::State& state) {
    const std::u16string text = CatalogueAnswer();
    for (auto _ : state) {
        cf::BkJson::Document doc;
        benchmark::DoNotOptimize(doc.Parse(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_ParseCatalogueAnswer);

void BM_ParseLargeList(benchmark::State& state) {
    const std::u16string text = LargeList(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        cf::BkJson::Document doc;
        benchmark::DoNotOptimize(doc.Parse(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_ParseLargeList)->Arg(100)->Arg(10000);

void BM_WriteLargeList(benchmark::State& state) {
    cf::BkJson::Document doc;
    doc.Parse(LargeList(10000));
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.ToString());
    }
}
BENCHMARK(BM_WriteLargeList);

}  // namespace
