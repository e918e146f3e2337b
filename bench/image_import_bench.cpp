// The import of one camera picture, step by step and whole: decode a 4000 x 3000 JPEG, reduce it to
// 500 x 375 with Lanczos3, encode at quality 75, and make the 120 x 90 thumbnail from the reduction.
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resample_passes.h"
#include "image_processing/resize_transform.h"
#include "image_processing/streaming_resize.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace vistrel;

ByteBuffer ReadFile(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return ByteBuffer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The picture named by VISTREL_BENCH_JPEG (so peers can be timed on the same file), else a synthetic
// photograph: smooth gradients with some texture, so the encoder has real work.
const ByteBuffer& CameraJpeg() {
    static const ByteBuffer bytes = [] {
        const char* name = std::getenv("VISTREL_BENCH_JPEG");
        if (name && *name) return ReadFile(name);
        TJpegGraphic jpeg;
        jpeg.NewImage(4000, 3000, ifRgb24);
        for (int y = 0; y < 3000; ++y) {
            uint8_t* row = jpeg.ScanLine(y);
            for (int x = 0; x < 4000; ++x) {
                row[3 * x] = uint8_t(x / 16 + ((x * y) & 15));
                row[3 * x + 1] = uint8_t(y / 12 + ((x ^ y) & 7));
                row[3 * x + 2] = uint8_t((x + y) / 28);
            }
        }
        jpeg.Quality = 90;
        ByteBuffer out;
        jpeg.WriteToStream(out);
        return out;
    }();
    return bytes;
}

void Resize(const TDibGraphic& source, TDibGraphic& destination, int width, int height) {
    TResizeTransform resize;
    resize.TargetWidth = width;
    resize.TargetHeight = height;
    resize.Resample = true;
    resize.ResampleFilter = sfLanczos3;
    resize.ApplyOnDest(source, destination);
}

void BM_Decode(benchmark::State& state) {
    CameraJpeg(); // made once, outside the timing
    for (auto _ : state) {
        TJpegGraphic jpeg;
        jpeg.ReadFromStream(ByteView(CameraJpeg()));
        benchmark::DoNotOptimize(jpeg.Pixels());
    }
}

void BM_Lanczos3Reduce(benchmark::State& state) {
    TJpegGraphic source;
    source.ReadFromStream(ByteView(CameraJpeg()));
    for (auto _ : state) {
        TDibGraphic result;
        Resize(source, result, 500, 375);
        benchmark::DoNotOptimize(result.Pixels());
    }
}

void BM_WholeImport(benchmark::State& state) {
    CameraJpeg();
    for (auto _ : state) {
        TJpegGraphic source;
        source.ReadFromStream(ByteView(CameraJpeg()));
        TJpegGraphic picture, thumbnail;
        Resize(source, picture, 500, 375);
        picture.Quality = 75;
        ByteBuffer pictureBytes, thumbnailBytes;
        picture.WriteToStream(pictureBytes);
        Resize(picture, thumbnail, 120, 90);
        thumbnail.Quality = 75;
        thumbnail.WriteToStream(thumbnailBytes);
        benchmark::DoNotOptimize(thumbnailBytes.data());
    }
}

// The import as it runs now: the reduction follows the decoder row by row on a second thread.
void BM_StreamingImport(benchmark::State& state) {
    CameraJpeg();
    for (auto _ : state) {
        TJpegGraphic picture, thumbnail;
        TStreamingResize resize(
            [](const TJpegHeader&) {
                return TResizeTarget{500, 375};
            },
            sfLanczos3, picture);
        DecodeJpeg(ByteView(CameraJpeg()), resize);
        resize.Finish();
        picture.Quality = 75;
        ByteBuffer pictureBytes, thumbnailBytes;
        picture.WriteToStream(pictureBytes);
        Resize(picture, thumbnail, 120, 90);
        thumbnail.Quality = 75;
        thumbnail.WriteToStream(thumbnailBytes);
        benchmark::DoNotOptimize(thumbnailBytes.data());
    }
}

// The processor's clock from /proc/cpuinfo, in MHz (0 when unknown).
double CpuMegahertz() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.rfind("cpu MHz", 0) == 0) return std::stod(line.substr(line.find(':') + 1));
    return 0;
}

// The horizontal pass alone on one thread, 4000 x 3000 to 500 columns: strip loading and sums. Its
// multiply-adds per second are set against the peak of one core: a multiply and an add (no FMA, to
// keep the rounding) per lane and cycle, 8 lanes with AVX2 and 4 with SSE2.
void BM_HorizontalPass(benchmark::State& state) {
    TJpegGraphic source;
    source.ReadFromStream(ByteView(CameraJpeg()));
    int sw = source.Width(), sh = source.Height(), dw = 500;
    TContributorTable columns = BuildContributors(dw, sw, ResampleScale(dw, sw), sfLanczos3);
    std::vector<float> strip(size_t(sw) * kStripWidth);
    std::vector<uint8_t> work(size_t(dw) * 3 * kStripRows);
    const bool sums = state.range(0) == 1;
    for (auto _ : state) {
        for (int y0 = 0; y0 + kStripRows <= sh; y0 += kStripRows) {
            const uint8_t* rows[kStripRows];
            for (int r = 0; r < kStripRows; ++r)
                rows[r] = source.ScanLine(y0 + r);
            LoadStripFromRows(rows, kStripRows, sw, 3, strip.data());
            if (sums) ReduceStrip(strip.data(), columns, kStripRows, dw, work.data(), size_t(dw) * 3);
        }
        benchmark::DoNotOptimize(work.data());
    }
    if (!sums) return;
    double macs = double(columns.index.size()) * kStripWidth * double(sh / kStripRows);
    state.counters["GMAC/s"] = benchmark::Counter(macs * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
    double lanes = std::string(ResampleInstructionSet()) == "avx2" ? 8 : 4;
    state.counters["PeakGMAC/s"] = CpuMegahertz() * 1e-3 * lanes;
    state.SetLabel(ResampleInstructionSet());
}

} // namespace

// One thread: CPU time is the honest measure on a shared machine.
BENCHMARK(BM_HorizontalPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamingImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Lanczos3Reduce)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
