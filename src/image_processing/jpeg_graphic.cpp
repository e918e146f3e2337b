#include "image_processing/jpeg_graphic.h"

#include "common/numbers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <cstring>
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

} // namespace

bool TJpegGraphic::IsValidStream(ByteView data) const {
    return data.size() >= 11 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF && data[3] == 0xE0 &&
           std::memcmp(data.data() + 6, "JFIF", 4) == 0 && data[10] == 0;
}

void TJpegGraphic::ReadImage(ByteView data, int) {
    Progress(0);
    FreeImage();
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    InstallErrorManager(errors);
    info.err = &errors.pub;
    jpeg_create_decompress(&info);
    DecompressGuard guard{&info};
    // Nothing with a destructor may be created below this point in this frame: a longjmp skips it.
    if (setjmp(errors.jump)) {
        warnings_ = errors.warnings;
        FreeImage();
        throw EJpegError(errors.message);
    }
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    // libjpeg-turbo can hand out blue, green, red directly, which is the pixel store's own order.
    info.out_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&info);
    int components = info.out_color_components;
    if (components != 1 && components != 3) {
        warnings_ = errors.warnings;
        throw EJpegError("Invalid number of samples, " + std::to_string(components));
    }
    // Checked before libjpeg allocates its own buffers, which for progressive files are image-sized.
    NewImage(int(info.output_width), int(info.output_height), components == 1 ? ifGray256 : ifRgb24, nullptr,
             DensityToDpi(info.density_unit, info.X_density), DensityToDpi(info.density_unit, info.Y_density));
    jpeg_start_decompress(&info);
    int last = int(info.output_height) - 1;
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[RowsPerCall];
        int first = int(info.output_scanline);
        for (int k = 0; k < RowsPerCall; ++k) rows[k] = ScanLine(std::min(first + k, last));
        jpeg_read_scanlines(&info, rows, RowsPerCall);
        Progress(uint8_t(last > 0 ? int64_t(info.output_scanline - 1) * 100 / last : 100));
    }
    jpeg_finish_decompress(&info);
    warnings_ = errors.warnings;
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
