#pragma once
#include "image_processing/dib_graphic.h"

#include <filesystem>
#include <memory>

namespace vistrel {

class TColorConverter;

// What a JPEG file declares, as the decoder will hand it out.
struct TJpegHeader {
    int width = 0;
    int height = 0;
    TImageFormat format = ifRgb24; // ifGray256 or ifRgb24
    int xDpi = 0;
    int yDpi = 0;
};

// Receives the rows of a JPEG while libjpeg decodes them, so a reader need not hold the picture
// whole. Rows are blue, green, red (or one gray byte per pixel), top row first. Any member may
// throw to stop the decode.
class TJpegRowSink {
public:
    virtual ~TJpegRowSink() = default;
    // Called once, before libjpeg allocates its buffers.
    virtual void Begin(const TJpegHeader& header) = 0;
    // Where rows first .. first + count - 1 go.
    virtual void RowsFor(int first, int count, uint8_t** rows) = 0;
    // The decoder filled `count` rows from `first` on.
    virtual void RowsDone(int first, int count) = 0;
    // Offered before Begin when the rows need converting to sRGB: a sink that takes the converter
    // converts each row itself before it uses it (off the decoding thread, say) and gets the rows
    // as decoded; otherwise the decoder converts them. Gray and ink rows are not offered.
    virtual void TakeColorConverter(std::unique_ptr<TColorConverter>& converter) { (void)converter; }
};

// Decodes into `sink` from bytes in memory or from a file read in blocks. Returns the number of
// warnings (a file cut short, stray bytes); fatal errors throw EJpegError with libjpeg's message.
int DecodeJpeg(ByteView data, TJpegRowSink& sink);
int DecodeJpegFile(const std::filesystem::path& file, TJpegRowSink& sink);

// The most working memory libjpeg may take for one picture, beside the pixel store.
size_t JpegMemoryLimit();

// Encodes a picture row by row as it is made, top row first, so the encoding can run beside the
// work that makes the rows. For the same pixels and settings the bytes are those TJpegGraphic
// writes, which uses it. libjpeg's errors throw EJpegError.
class TJpegRowEncoder {
public:
    struct TSettings {
        int quality = 80;
        bool progressive = false;
        bool optimizeCoding = false;
        int xDpi = 0;
        int yDpi = 0;
    };
    // `format` ifGray256 (one byte a pixel) or ifRgb24 (blue, green, red).
    TJpegRowEncoder(int width, int height, TImageFormat format, const TSettings& settings);
    ~TJpegRowEncoder();
    TJpegRowEncoder(const TJpegRowEncoder&) = delete;
    TJpegRowEncoder& operator=(const TJpegRowEncoder&) = delete;

    void WriteRow(const uint8_t* row);
    // After the last row: the encoded file.
    ByteBuffer Finish();
    int Warnings() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// JPEG through libjpeg: reads gray or colour files, writes ifGray256 and ifRgb24 pictures.
class TJpegGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TJpegGraphic"; }
    // FF D8 FF E0, "JFIF" and a zero byte at offset 6; a file starting with another marker fails it.
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
    void WriteToStream(ByteBuffer& out) override;

    uint8_t Quality = 80;
    bool Progressive = false;
    bool OptimizeCoding = false;
    // Warnings libjpeg reported during the last read or write (a file cut short, stray bytes).
    int WarningCount() const { return warnings_; }

private:
    int warnings_ = 0;
};

} // namespace vistrel
