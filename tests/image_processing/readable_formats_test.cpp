#include "image_processing/graphic_registry.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace vistrel {
namespace {

const std::filesystem::path dataDir = std::filesystem::path(VISTREL_SOURCE_DIR) / "data";

std::set<std::string> RegistryMimeTypes() {
    std::set<std::string> types;
    for (const TReadableFormat& format : ReadableFormats())
        if (!format.mimeType.empty()) types.insert(format.mimeType);
    return types;
}

// The desktop entry's "Öffnen mit" list is data, the readers are code: the two must name the same
// MIME types, so a reader added to the registry fails here until the desktop file offers it.
TEST(ReadableFormats, DesktopEntryOffersEveryRegisteredMimeType) {
    std::istringstream lines(testing::ReadBytes(dataDir / "desktop" / "vistrel.desktop"));
    std::set<std::string> offered;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("MimeType=", 0) != 0) continue;
        std::istringstream types(line.substr(9));
        for (std::string type; std::getline(types, type, ';');)
            if (!type.empty()) offered.insert(type);
    }
    EXPECT_EQ(offered, RegistryMimeTypes());
    std::string metainfo = testing::ReadBytes(dataDir / "desktop" / "de.vantro.vistrel.metainfo.xml.in");
    for (const char* type : {"image/webp", "image/heif", "image/avif"})
        EXPECT_NE(metainfo.find(std::string("<mediatype>") + type + "</mediatype>"), std::string::npos)
            << type;
}

TEST(ReadableFormats, HelpAndFolderImportNameThePhoneFormats) {
    std::string help = testing::ReadBytes(dataDir / "HTML" / "stepbystep.htm");
    for (const TReadableFormat& format : ReadableFormats()) {
        if (!format.inFolderImport) continue;
        std::string ext = format.extension;
        std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return char(std::tolower(c)); });
        EXPECT_NE(help.find("<code>." + ext + "</code>"), std::string::npos) << ext;
        EXPECT_TRUE(IsFolderImportFormat("IMG_0001." + format.extension)) << ext;
        EXPECT_TRUE(IsFolderImportFormat("img_0001." + ext)) << ext;
    }
    for (const char* name : {"a.tif", "a.pcx", "a", "heic", "a.heic.txt"})
        EXPECT_FALSE(IsFolderImportFormat(name)) << name;
}

TEST(ReadableFormats, HeifReaderTurnsThePictureItself) {
    for (const char* name : {"a.heic", "a.HEIF", "a.avif"}) {
        const TGraphicClass* cls = GraphicClassForFile(name);
        ASSERT_NE(cls, nullptr) << name;
        EXPECT_TRUE(cls->orientsItself) << name;
    }
    EXPECT_FALSE(GraphicClassForFile("a.jpg")->orientsItself);
    EXPECT_FALSE(GraphicClassForFile("a.webp")->orientsItself);
}

} // namespace
} // namespace vistrel
