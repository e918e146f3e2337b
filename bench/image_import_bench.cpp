// The import of one camera picture, step by step and whole: decode a 4000 x 3000 JPEG, reduce it to
// 500 x 375 with Lanczos3, encode at quality 75, and make the 120 x 90 thumbnail from the reduction.
#include "image_processing/jpeg_graphic.h"
#include "image_processing/resize_transform.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <iterator>

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

} // namespace

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Lanczos3Reduce)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
