#include "image_processing/jpeg_graphic.h"

#include "common/numbers.h"
#include "image_processing/color_management.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
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

// What the decode needs beside libjpeg's own state, made before the setjmp so that a longjmp skips
// no destructor: the embedded profile as libjpeg hands it out, the converter made from it, and the
// ink rows of a CMYK picture, which are converted into the sink's rows.
struct ColorState {
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    std::unique_ptr<TColorConverter> converter;
    std::vector<uint8_t> inkRows;
    ~ColorState() { std::free(icc); }
};

bool IsInk(J_COLOR_SPACE space) {
    return space == JCS_CMYK || space == JCS_YCCK;
}

// Chooses the output colour space and, when the file has a profile or is CMYK, the converter.
// Photoshop's CMYK files (with an Adobe marker) store 255 - ink; libjpeg hands the values as stored.
void ChooseColorHandling(jpeg_decompress_struct& info, ColorState& color) {
    bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    jpeg_read_icc_profile(&info, &color.icc, &color.iccLength);
    ByteView icc(color.icc, color.iccLength);
    if (IsInk(info.jpeg_color_space)) {
        info.out_color_space = JCS_CMYK;
        color.converter = TColorConverter::ForCmyk(icc, info.saw_Adobe_marker);
        return;
    }
    // libjpeg-turbo can hand out blue, green, red directly, which is the pixel store's own order.
    info.out_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    if (icc.empty()) return;
    TEmbeddedColor embedded{ByteBuffer(icc.begin(), icc.end()), std::nullopt};
    color.converter = gray ? TColorConverter::ForGray(embedded) : TColorConverter::ForBgr(embedded);
}

// Decoded rows go to the sink; ink rows go to our own buffer first and are converted into it.
int ReadRows(jpeg_decompress_struct& info, ColorState& color, uint8_t** rows, int count) {
    if (!IsInk(info.out_color_space)) {
        int got = int(jpeg_read_scanlines(&info, rows, JDIMENSION(count)));
        if (color.converter)
            for (int k = 0; k < got; ++k)
                color.converter->Convert(rows[k], rows[k], int(info.output_width));
        return got;
    }
    size_t inkStride = size_t(info.output_width) * 4;
    JSAMPROW inkRows[RowsPerCall];
    for (int k = 0; k < count; ++k)
        inkRows[k] = color.inkRows.data() + size_t(k) * inkStride;
    int got = int(jpeg_read_scanlines(&info, inkRows, JDIMENSION(count)));
    for (int k = 0; k < got; ++k)
        color.converter->Convert(inkRows[k], rows[k], int(info.output_width));
    return got;
}

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
    ColorState color;
    if (setjmp(errors.jump)) throw EJpegError(errors.message);
    if (file)
        jpeg_stdio_src(&info, file);
    else
        jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    // Bounds libjpeg's own buffers; a progressive file keeps all its coefficients, which a small
    // hostile file can declare at gigabytes. Beyond the limit libjpeg fails with its own message.
    info.mem->max_memory_to_use = long(JpegMemoryLimit());
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    ChooseColorHandling(info, color);
    if (color.converter && info.out_color_space == JCS_EXT_BGR) sink.TakeColorConverter(color.converter);
    jpeg_calc_output_dimensions(&info);
    // Ink is converted to blue, green, red on the way to the sink.
    int components = IsInk(info.out_color_space) ? 3 : info.out_color_components;
    if (components != 1 && components != 3)
        throw EJpegError("Invalid number of samples, " + std::to_string(components));
    TJpegHeader header{int(info.output_width), int(info.output_height), components == 1 ? ifGray256 : ifRgb24,
                       DensityToDpi(info.density_unit, info.X_density),
                       DensityToDpi(info.density_unit, info.Y_density)};
    // Before libjpeg allocates its own buffers, which for progressive files are image-sized.
    sink.Begin(header);
    if (IsInk(info.out_color_space)) color.inkRows.resize(size_t(info.output_width) * 4 * RowsPerCall);
    jpeg_start_decompress(&info);
    int height = int(info.output_height);
    while (int(info.output_scanline) < height) {
        JSAMPROW rows[RowsPerCall];
        int first = int(info.output_scanline);
        int count = std::min(RowsPerCall, height - first);
        sink.RowsFor(first, count, rows);
        int got = ReadRows(info, color, rows, count);
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

// libjpeg writes into a growing vector of ours. Its own memory destination frees the buffers it
// outgrows but hands the last one over only at the end, so an encoder given up halfway (a stopped
// import) could not tell which buffer was still alive. The vector is reserved for more than a
// photograph takes at any usual quality and grows into that room a piece at a time: the pages are
// touched once, where doubling copied the file over and over into fresh ones.
namespace {
struct VectorDestination {
    jpeg_destination_mgr pub;
    ByteBuffer* out;
    size_t expected = 0;

    static constexpr size_t kPiece = 1 << 16;

    static void Init(j_compress_ptr info) {
        auto* self = reinterpret_cast<VectorDestination*>(info->dest);
        self->out->reserve(self->expected);
        self->out->resize(kPiece);
        self->pub.next_output_byte = self->out->data();
        self->pub.free_in_buffer = self->out->size();
    }
    static boolean Grow(j_compress_ptr info) {
        auto* self = reinterpret_cast<VectorDestination*>(info->dest);
        size_t used = self->out->size();
        self->out->resize(used + std::max(kPiece, used / 4));
        self->pub.next_output_byte = self->out->data() + used;
        self->pub.free_in_buffer = self->out->size() - used;
        return TRUE;
    }
    static void Term(j_compress_ptr info) {
        auto* self = reinterpret_cast<VectorDestination*>(info->dest);
        self->out->resize(self->out->size() - self->pub.free_in_buffer);
    }
};
} // namespace

// libjpeg's compressor with its error manager: each member that calls libjpeg sets the jump and
// throws once back, so a failure leaves the state to the destructor.
struct TJpegRowEncoder::State {
    jpeg_compress_struct info;
    JpegErrorManager errors;
    VectorDestination destination{{}, &encoded};
    ByteBuffer encoded;
    ~State() { jpeg_destroy_compress(&info); }
};

TJpegRowEncoder::TJpegRowEncoder(int width, int height, TImageFormat format, const TSettings& settings)
    : state_(std::make_unique<State>()) {
    State& state = *state_;
    InstallErrorManager(state.errors);
    state.info.err = &state.errors.pub;
    jpeg_create_compress(&state.info);
    if (setjmp(state.errors.jump)) throw EJpegError(state.errors.message);
    jpeg_compress_struct& info = state.info;
    // Half the raw size: quality 100 of a noisy photograph stays below it.
    state.destination.expected = size_t(width) * size_t(height) * (format == ifGray256 ? 1 : 3) / 2 + 4096;
    state.destination.pub.init_destination = VectorDestination::Init;
    state.destination.pub.empty_output_buffer = VectorDestination::Grow;
    state.destination.pub.term_destination = VectorDestination::Term;
    info.dest = &state.destination.pub;
    bool gray = format == ifGray256;
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = gray ? 1 : 3;
    // Handing libjpeg blue, green, red saves the row copy and swap; the encoded file is the same.
    info.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    info.density_unit = 1;
    info.X_density = UINT16(std::clamp(settings.xDpi, 0, 65535));
    info.Y_density = UINT16(std::clamp(settings.yDpi, 0, 65535));
    jpeg_set_quality(&info, settings.quality, TRUE);
    if (settings.progressive) jpeg_simple_progression(&info);
    info.optimize_coding = settings.optimizeCoding ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
}

TJpegRowEncoder::~TJpegRowEncoder() = default;

void TJpegRowEncoder::WriteRow(const uint8_t* row) {
    State& state = *state_;
    if (setjmp(state.errors.jump)) throw EJpegError(state.errors.message);
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    jpeg_write_scanlines(&state.info, rows, 1);
}

ByteBuffer TJpegRowEncoder::Finish() {
    State& state = *state_;
    if (setjmp(state.errors.jump)) throw EJpegError(state.errors.message);
    jpeg_finish_compress(&state.info);
    return std::move(state.encoded);
}

int TJpegRowEncoder::Warnings() const {
    return state_->errors.warnings;
}

void TJpegGraphic::WriteToStream(ByteBuffer& out) {
    Progress(0);
    if (IsEmpty() || (ImageFormat() != ifGray256 && ImageFormat() != ifRgb24))
        throw EJpegError("JPEG image must be gray scale or true color");
    warnings_ = 0;
    TJpegRowEncoder::TSettings settings{Quality, Progressive, OptimizeCoding, XDotsPerInch(), YDotsPerInch()};
    TJpegRowEncoder encoder(Width(), Height(), ImageFormat(), settings);
    try {
        int last = Height() - 1;
        for (int y = 0; y < Height(); ++y) {
            encoder.WriteRow(ScanLine(y));
            Progress(uint8_t(last > 0 ? int64_t(y) * 100 / last : 100));
        }
        out = encoder.Finish();
    } catch (...) {
        warnings_ = encoder.Warnings();
        throw;
    }
    warnings_ = encoder.Warnings();
    Progress(100);
}

} // namespace vistrel
