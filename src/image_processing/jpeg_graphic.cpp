#include "image_processing/jpeg_graphic.h"

#include "common/numbers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace vistrel {

namespace {

// libjpeg's fatal errors must not unwind through its C frames as C++ exceptions. The error manager
// jumps back into the one frame that called libjpeg; that frame throws once it is back in C++ land.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
};

void OnJpegError(j_common_ptr info) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (level -1) are only counted; trace messages are dropped. Nothing goes to stderr.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0) ++reinterpret_cast<JpegErrorManager*>(info->err)->warnings;
}

void InstallErrorManager(JpegErrorManager& manager) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = OnJpegError;
    manager.pub.emit_message = OnJpegMessage;
    manager.message[0] = 0;
    manager.warnings = 0;
}

struct DecompressGuard {
    jpeg_decompress_struct* info;
    ~DecompressGuard() { jpeg_destroy_decompress(info); }
};

struct CompressGuard {
    jpeg_compress_struct* info;
    unsigned char* buffer = nullptr;
    ~CompressGuard() {
        jpeg_destroy_compress(info);
        std::free(buffer);
    }
};

int DensityToDpi(int unit, int density) {
    if (unit == 1) return density;
    if (unit == 2) return int(Round(density * 2.54));
    return 0;
}

constexpr int RowsPerCall = 16;

// Room for the coefficients of a progressive 50-megapixel picture with full colour resolution.
constexpr size_t jpegMemoryLimit = size_t(512) << 20;

} // namespace

bool TJpegGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 11 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF && data[3] == 0xE0 &&
           std::memcmp(data.data() + 6, "JFIF", 4) == 0 && data[10] == 0;
}

namespace {

// The pixel store of the picture itself is the sink when a TJpegGraphic reads.
class TPictureRowSink : public TJpegRowSink {
public:
    TPictureRowSink(TDibGraphic& picture, std::function<void(uint8_t)> progress)
        : picture_(picture), progress_(std::move(progress)) {}
    // The pixel store is made only once libjpeg has its own buffers: a file whose declared size
    // exceeds the decoder's memory limit then fails before a gigabyte is zeroed for it.
    void Begin(const TJpegHeader& header) override {
        CheckPixelStoreSize(header.width, header.height, header.format);
        header_ = header;
        last_ = header.height - 1;
    }
    void RowsFor(int first, int count, uint8_t** rows) override {
        if (picture_.IsEmpty())
            picture_.NewImage(header_.width, header_.height, header_.format, nullptr, header_.xDpi,
                              header_.yDpi);
        for (int k = 0; k < count; ++k)
            rows[k] = picture_.ScanLine(first + k);
    }
    void RowsDone(int first, int count) override {
        int done = first + count - 1;
        progress_(uint8_t(last_ > 0 ? int64_t(done) * 100 / last_ : 100));
    }

private:
    TDibGraphic& picture_;
    std::function<void(uint8_t)> progress_;
    TJpegHeader header_;
    int last_ = 0;
};

// The one frame that calls libjpeg's decoder. Nothing with a destructor may be created below the
// setjmp: a longjmp skips it. The sink is called from here, between libjpeg's calls, so its
// exceptions unwind normally and the guard destroys the decoder.
// Reads from `file` when given, else from `data`.
int DecodeWithSource(ByteView data, std::FILE* file, TJpegRowSink& sink) {
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    InstallErrorManager(errors);
    info.err = &errors.pub;
    jpeg_create_decompress(&info);
    DecompressGuard guard{&info};
    if (setjmp(errors.jump)) throw EJpegError(errors.message);
    if (file)
        jpeg_stdio_src(&info, file);
    else
        jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    // Bounds libjpeg's own buffers; a progressive file keeps all its coefficients, which a small
    // hostile file can declare at gigabytes. Beyond the limit libjpeg fails with its own message.
    info.mem->max_memory_to_use = long(JpegMemoryLimit());
    jpeg_read_header(&info, TRUE);
    bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    // libjpeg-turbo can hand out blue, green, red directly, which is the pixel store's own order.
    info.out_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&info);
    int components = info.out_color_components;
    if (components != 1 && components != 3)
        throw EJpegError("Invalid number of samples, " + std::to_string(components));
    TJpegHeader header{int(info.output_width), int(info.output_height), components == 1 ? ifGray256 : ifRgb24,
                       DensityToDpi(info.density_unit, info.X_density),
                       DensityToDpi(info.density_unit, info.Y_density)};
    // Before libjpeg allocates its own buffers, which for progressive files are image-sized.
    sink.Begin(header);
    jpeg_start_decompress(&info);
    int height = int(info.output_height);
    while (int(info.output_scanline) < height) {
        JSAMPROW rows[RowsPerCall];
        int first = int(info.output_scanline);
        int count = std::min(RowsPerCall, height - first);
        sink.RowsFor(first, count, rows);
        int got = int(jpeg_read_scanlines(&info, rows, JDIMENSION(count)));
        sink.RowsDone(first, got);
    }
    jpeg_finish_decompress(&info);
    return errors.warnings;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

size_t JpegMemoryLimit() {
    return jpegMemoryLimit;
}

int DecodeJpeg(ByteView data, TJpegRowSink& sink) {
    return DecodeWithSource(data, nullptr, sink);
}

// libjpeg reads the file through stdio in blocks, so memory follows the picture and not the file:
// a small picture padded to gigabytes costs no more than the picture.
int DecodeJpegFile(const std::filesystem::path& file, TJpegRowSink& sink) {
    std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.c_str(), "rb"));
    if (!stream) throw EImageError("Cannot open file " + file.string());
    std::setvbuf(stream.get(), nullptr, _IOFBF, 1 << 16);
    return DecodeWithSource({}, stream.get(), sink);
}

void TJpegGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    TPictureRowSink sink(*this, [this](uint8_t percent) { Progress(percent); });
    try {
        warnings_ = DecodeJpeg(data, sink);
    } catch (...) {
        FreeImage();
        throw;
    }
    Progress(100);
}

void TJpegGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    if (IsEmpty() || (ImageFormat() != ifGray256 && ImageFormat() != ifRgb24))
        throw EJpegError("JPEG image must be gray scale or true color");
    jpeg_compress_struct info;
    JpegErrorManager errors;
    InstallErrorManager(errors);
    info.err = &errors.pub;
    jpeg_create_compress(&info);
    CompressGuard guard{&info};
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        warnings_ = errors.warnings;
        throw EJpegError(errors.message);
    }
    jpeg_mem_dest(&info, &guard.buffer, &size);
    bool gray = ImageFormat() == ifGray256;
    info.image_width = JDIMENSION(Width());
    info.image_height = JDIMENSION(Height());
    info.input_components = gray ? 1 : 3;
    // Handing libjpeg blue, green, red saves the row copy and swap; the encoded file is the same.
    info.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    info.density_unit = 1;
    info.X_density = UINT16(std::clamp(XDotsPerInch(), 0, 65535));
    info.Y_density = UINT16(std::clamp(YDotsPerInch(), 0, 65535));
    jpeg_set_quality(&info, Quality, TRUE);
    if (Progressive) jpeg_simple_progression(&info);
    info.optimize_coding = OptimizeCoding ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    int last = Height() - 1;
    while (info.next_scanline < info.image_height) {
        int y = int(info.next_scanline);
        JSAMPROW row = ScanLine(y);
        jpeg_write_scanlines(&info, &row, 1);
        Progress(uint8_t(last > 0 ? int64_t(y) * 100 / last : 100));
    }
    jpeg_finish_compress(&info);
    warnings_ = errors.warnings;
    out.assign(guard.buffer, guard.buffer + size);
    Progress(100);
}

} // namespace vistrel
