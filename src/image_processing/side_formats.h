#pragma once
#include "image_processing/dib_graphic.h"

namespace vistrel {

// ZSoft PC Paintbrush: 1-bit, 4-plane 16-colour, 8-bit palette and 24-bit (3-plane) pictures.
class TPcxGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TPcxGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

// A multi-page fax container: a table of offsets to PCX pictures.
class TDcxGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TDcxGraphic"; }
    bool IsValidStream(ByteView data) const override;
    int ImageCount(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

// Truevision Targa: colour-mapped, gray and true colour, plain or run-length encoded.
class TTgaGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TTgaGraphic"; }
    void ReadImage(ByteView data, int index) override;
    // Only ifGray256, ifColor256 and ifRgb24.
    void WriteToStream(ByteBuffer& out) override;
};

// Netpbm P1 to P6. Writing picks the variant by format: bitmap, graymap or pixmap.
class TPpmGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TPpmGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
    void WriteToStream(ByteBuffer& out) override;
    bool Ascii = false;
};

// Only the TIFF preview inside a binary EPS file is read.
class TEPSGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TEPSGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

// Windows icons: the largest image, stored as a DIB with mask or as PNG, composed on black.
class TIconGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TIconGraphic"; }
    bool IsValidStream(ByteView data) const override;
    void ReadImage(ByteView data, int index) override;
};

// Windows metafiles are vector drawings; no renderer is at hand, so reading names the format in a
// clear error.
class TMetaFileGraphic : public TDibGraphic {
public:
    std::string ClassName() const override { return "TMetaFileGraphic"; }
    void ReadImage(ByteView data, int index) override;
};

} // namespace vistrel
