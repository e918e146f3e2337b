#include "image_processing/graphic_registry.h"

#include "common/atomic_file.h"
#include "common/text_utils.h"
#include "image_processing/bitmap_graphic.h"
#include "image_processing/gif_graphic.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/mapped_file.h"
#include "image_processing/png_graphic.h"
#include "image_processing/side_formats.h"
#include "image_processing/tiff_graphic.h"

#include <cctype>

namespace vistrel {

namespace {

struct Registration {
    std::string extension;
    std::string description;
    TGraphicClass graphicClass;
};

template <typename T> TGraphicClass ClassOf(const std::string& name) {
    return {name, [] { return std::unique_ptr<TDibGraphic>(new T); }};
}

std::vector<Registration>& Registry() {
    static std::vector<Registration> registry = [] {
        std::vector<Registration> list;
        auto add = [&list](const char* ext, const char* description, TGraphicClass cls) {
            list.push_back({ext, description, std::move(cls)});
        };
        add("BMP", "Bitmap file", ClassOf<TBitmapGraphic>("TBitmapGraphic"));
        add("JPG", "JPEG", ClassOf<TJpegGraphic>("TJpegGraphic"));
        add("JPEG", "JPEG", ClassOf<TJpegGraphic>("TJpegGraphic"));
        add("PCX", "ZSoft PC Paintbrush", ClassOf<TPcxGraphic>("TPcxGraphic"));
        add("PCC", "ZSoft PC Paintbrush", ClassOf<TPcxGraphic>("TPcxGraphic"));
        add("DCX", "DCX file", ClassOf<TDcxGraphic>("TDcxGraphic"));
        add("PNG", "Portable Network Graphic", ClassOf<TPngGraphic>("TPngGraphic"));
        add("PPM", "Portable Pixelmap", ClassOf<TPpmGraphic>("TPpmGraphic"));
        add("PGM", "Portable Greymap", ClassOf<TPpmGraphic>("TPpmGraphic"));
        add("PBM", "Portable Bitmap", ClassOf<TPpmGraphic>("TPpmGraphic"));
        add("EPS", "Encapsulated postscript", ClassOf<TEPSGraphic>("TEPSGraphic"));
        add("TGA", "Truevision Targa", ClassOf<TTgaGraphic>("TTgaGraphic"));
        add("VST", "Truevision Vista", ClassOf<TTgaGraphic>("TTgaGraphic"));
        add("AFI", "Truevision Targa", ClassOf<TTgaGraphic>("TTgaGraphic"));
        add("TIF", "TIFF file", ClassOf<TTiffGraphic>("TTiffGraphic"));
        add("TIFF", "TIFF file", ClassOf<TTiffGraphic>("TTiffGraphic"));
        return list;
    }();
    return registry;
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The unregistered formats a desktop toolkit's generic loader would know.
std::unique_ptr<TDibGraphic> CreateFallbackGraphic(const std::string& extension) {
    if (extension == "GIF") return std::make_unique<TGifGraphic>();
    if (extension == "ICO") return std::make_unique<TIconGraphic>();
    if (extension == "WMF" || extension == "EMF") return std::make_unique<TMetaFileGraphic>();
    return nullptr;
}

std::string UpperExtension(const std::filesystem::path& name) {
    std::string ext = name.extension().string();
    ext = ext.empty() ? name.filename().string() : ext.substr(1);
    return UpperAscii(ext);
}

// What the generic loader of a desktop toolkit would read: the formats that are not registered.
std::unique_ptr<TDibGraphic> LoadWithFallbackReaders(const std::filesystem::path& name,
                                                     const TImageProgressEvent& progress) {
    if (progress) progress(0);
    std::string ext = UpperExtension(name);
    TMappedFile file(name);
    std::unique_ptr<TDibGraphic> graphic = CreateFallbackGraphic(ext);
    if (!graphic)
        throw EImageError(FormatMessage("Graphic files of %s format are not supported or not registered",
                                        {name.extension().string()}));
    if (progress) progress(25);
    graphic->ReadFromStream(file.Bytes());
    if (progress) progress(90);
    if (progress) progress(100);
    return graphic;
}

} // namespace

const TGraphicClass* GraphicClassForFile(const std::filesystem::path& name) {
    std::string ext = UpperExtension(name);
    for (const Registration& r : Registry())
        if (r.extension == ext) return &r.graphicClass;
    return nullptr;
}

std::unique_ptr<TDibGraphic> CreateGraphicForFile(const std::filesystem::path& name) {
    const TGraphicClass* cls = GraphicClassForFile(name);
    if (!cls)
        throw EImageError(FormatMessage("Graphic files of %s format are not supported or not registered",
                                        {name.extension().string()}));
    return cls->create();
}

std::vector<std::pair<std::string, std::string>> RegisteredFormats() {
    std::vector<std::pair<std::string, std::string>> result;
    for (const Registration& r : Registry())
        result.emplace_back(r.extension, r.description);
    return result;
}

std::unique_ptr<TDibGraphic> LoadPictureFile(const std::filesystem::path& name, int imageIndex,
                                             const TImageProgressEvent& progress) {
    if (!GraphicClassForFile(name)) return LoadWithFallbackReaders(name, progress);
    std::unique_ptr<TDibGraphic> graphic = CreateGraphicForFile(name);
    graphic->OnProgress = progress;
    graphic->ImageIndexToRead = imageIndex;
    graphic->ReadFromFile(name);
    graphic->OnProgress = nullptr;
    return graphic;
}

void LoadPictureFile(const std::filesystem::path& name, int imageIndex, const TImageProgressEvent& progress,
                     TDibGraphic& picture) {
    picture.FreeImage();
    std::unique_ptr<TDibGraphic> graphic = LoadPictureFile(name, imageIndex, progress);
    picture.TakeImageFrom(*graphic);
}

} // namespace vistrel
