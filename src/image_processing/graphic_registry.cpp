#include "image_processing/graphic_registry.h"

#include "common/atomic_file.h"
#include "common/text_utils.h"
#include "image_processing/bitmap_graphic.h"
#include "image_processing/gif_graphic.h"
#include "image_processing/heif_graphic.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/mapped_file.h"
#include "image_processing/png_graphic.h"
#include "image_processing/side_formats.h"
#include "image_processing/tiff_graphic.h"
#include "image_processing/webp_graphic.h"

#include <cctype>

namespace vistrel {

namespace {

struct Registration {
    std::string extension;
    std::string description;
    TGraphicClass graphicClass;
    std::string mimeType;
    bool inFolderImport = false;
};

template <typename T> TGraphicClass ClassOf(const std::string& name, bool orientsItself = false) {
    return {name, [] { return std::unique_ptr<TDibGraphic>(new T); }, orientsItself};
}

// The pictures phones, cameras and the web make today: the folder import and the drop take them too.
constexpr bool kPhoneFormat = true;

std::vector<Registration>& Registry() {
    static std::vector<Registration> registry = [] {
        std::vector<Registration> list;
        auto add = [&list](const char* ext, const char* description, TGraphicClass cls, const char* mime,
                           bool inFolderImport = false) {
            list.push_back({ext, description, std::move(cls), mime, inFolderImport});
        };
        add("BMP", "Bitmap file", ClassOf<TBitmapGraphic>("TBitmapGraphic"), "image/bmp");
        add("JPG", "JPEG", ClassOf<TJpegGraphic>("TJpegGraphic"), "image/jpeg");
        add("JPEG", "JPEG", ClassOf<TJpegGraphic>("TJpegGraphic"), "image/jpeg");
        add("PCX", "ZSoft PC Paintbrush", ClassOf<TPcxGraphic>("TPcxGraphic"), "image/vnd.zbrush.pcx");
        add("PCC", "ZSoft PC Paintbrush", ClassOf<TPcxGraphic>("TPcxGraphic"), "image/vnd.zbrush.pcx");
        add("DCX", "DCX file", ClassOf<TDcxGraphic>("TDcxGraphic"), "");
        add("PNG", "Portable Network Graphic", ClassOf<TPngGraphic>("TPngGraphic"), "image/png");
        add("PPM", "Portable Pixelmap", ClassOf<TPpmGraphic>("TPpmGraphic"), "image/x-portable-pixmap");
        add("PGM", "Portable Greymap", ClassOf<TPpmGraphic>("TPpmGraphic"), "image/x-portable-graymap");
        add("PBM", "Portable Bitmap", ClassOf<TPpmGraphic>("TPpmGraphic"), "image/x-portable-bitmap");
        // Only an EPS file's preview is read: the desktop should not offer the program for PostScript.
        add("EPS", "Encapsulated postscript", ClassOf<TEPSGraphic>("TEPSGraphic"), "");
        add("TGA", "Truevision Targa", ClassOf<TTgaGraphic>("TTgaGraphic"), "image/x-tga");
        add("VST", "Truevision Vista", ClassOf<TTgaGraphic>("TTgaGraphic"), "image/x-tga");
        add("AFI", "Truevision Targa", ClassOf<TTgaGraphic>("TTgaGraphic"), "image/x-tga");
        add("TIF", "TIFF file", ClassOf<TTiffGraphic>("TTiffGraphic"), "image/tiff");
        add("TIFF", "TIFF file", ClassOf<TTiffGraphic>("TTiffGraphic"), "image/tiff");
        add("WEBP", "WebP image", ClassOf<TWebpGraphic>("TWebpGraphic"), "image/webp", kPhoneFormat);
        add("HEIC", "HEIF image", ClassOf<THeifGraphic>("THeifGraphic", true), "image/heif", kPhoneFormat);
        add("HEIF", "HEIF image", ClassOf<THeifGraphic>("THeifGraphic", true), "image/heif", kPhoneFormat);
        add("HIF", "HEIF image", ClassOf<THeifGraphic>("THeifGraphic", true), "image/heif", kPhoneFormat);
        add("AVIF", "AVIF image", ClassOf<THeifGraphic>("THeifGraphic", true), "image/avif", kPhoneFormat);
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

std::vector<TReadableFormat> ReadableFormats() {
    std::vector<TReadableFormat> result;
    for (const Registration& r : Registry())
        result.push_back({r.extension, r.description, r.mimeType, r.inFolderImport});
    result.push_back({"GIF", "CompuServe GIF Image", "image/gif", false});
    result.push_back({"ICO", "Windows icon", "image/vnd.microsoft.icon", false});
    return result;
}

bool IsFolderImportFormat(const std::filesystem::path& name) {
    if (!name.has_extension()) return false;
    std::string ext = UpperExtension(name);
    for (const Registration& r : Registry())
        if (r.extension == ext) return r.inFolderImport;
    return false;
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
