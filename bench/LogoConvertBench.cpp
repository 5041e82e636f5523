// Conversion of a full-width, 1024-line 24-bit logo, as the upload converts each image.
#include "BenchPhoto.h"
#include "logo/CBitmapRaster.h"

#include <benchmark/benchmark.h>

namespace {

using namespace korva;
using namespace korva::test;

std::vector<std::uint8_t> photo() {
    return benchPhoto();
}

void convert(benchmark::State& state, bool gray) {
    const std::vector<std::uint8_t> file = photo();
    LogoOptions options;
    CBitmapRaster raster(options);
    if (!raster.LoadBytes(file)) {
        state.SkipWithError("bitmap not loaded");
        return;
    }
    for (auto _ : state) {
        bool ok = gray ? raster.ConvertGray() : raster.ConvertMonochrome(0);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(raster.output()[0]);
    }
    state.SetItemsProcessed(state.iterations() * 512 * 1024);
}

void loadAndConvert(benchmark::State& state, bool gray) {
    const std::vector<std::uint8_t> file = photo();
    LogoOptions options;
    CBitmapRaster raster(options);
    for (auto _ : state) {
        bool ok =
            raster.LoadBytes(file) && (gray ? raster.ConvertGray() : raster.ConvertMonochrome(0));
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations() * 512 * 1024);
}

void BM_ConvertMonochrome(benchmark::State& s) {
    convert(s, false);
}
void BM_ConvertGray(benchmark::State& s) {
    convert(s, true);
}
void BM_LoadAndConvertMonochrome(benchmark::State& s) {
    loadAndConvert(s, false);
}
void BM_LoadAndConvertGray(benchmark::State& s) {
    loadAndConvert(s, true);
}

} // namespace

BENCHMARK(BM_ConvertMonochrome)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndConvertMonochrome)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndConvertGray)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
