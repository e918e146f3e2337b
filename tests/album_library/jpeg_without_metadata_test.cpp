// A JPEG copied unchanged into the album loses every piece of metadata at segment level while its
// compressed data stays byte for byte; the orientation survives so that viewers still turn it.
#include "album_library/exif_orientation.h"
#include "album_library/import_job.h"
#include "album_library/jpeg_without_metadata.h"
#include "image_processing/image_error.h"
#include "image_processing/jpeg_graphic.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;
using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;

namespace {

std::string PlainJpeg(bool progressive) {
    TJpegGraphic picture;
    picture.NewImage(48, 40, ifRgb24);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x)
            picture.WritePixel(x, y, TColor((x * 5) << 16 | ((x ^ y) * 7 & 0xff) << 8 | (y * 6)));
    picture.Progressive = progressive;
    ByteBuffer bytes;
    picture.WriteToStream(bytes);
    return std::string(bytes.begin(), bytes.end());
}

std::string Segment(uint8_t marker, const std::string& payload) {
    const size_t length = payload.size() + 2;
    return std::string{'\xFF', char(marker), char(length >> 8), char(length & 0xFF)} + payload;
}

// The bytes from the first quantisation table on: the picture itself, without any APPn block.
std::string FromFirstTable(const std::string& jpeg) {
    size_t pos = jpeg.find("\xFF\xDB");
    return pos == std::string::npos ? "" : jpeg.substr(pos);
}

const std::string kIcc = Segment(0xE2, std::string("ICC_PROFILE\0\1\1", 14) + "profile bytes");

// A camera's file: EXIF with a position and a serial number, XMP, IPTC, a comment, a preview in a
// second APP2 block, the profile, and a phone's video behind the end marker.
std::string CameraJpeg(const std::string& plain) {
    std::string metadata =
        Segment(0xE1, std::string("Exif\0\0MM\0\x2A", 10) + "GPS 52.52N 13.40E Serial 4711") +
        Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<dc:creator>Anna") +
        Segment(0xED, "Photoshop 3.0 IPTC Ort: Berlin") + kIcc +
        Segment(0xE2, std::string("MPF\0", 4) + "preview") + Segment(0xFE, "Kommentar: privat");
    return plain.substr(0, 2) + metadata + plain.substr(2) + "ftypmp42 phone video";
}

TEST(JpegWithoutMetadata, DropsEveryMetadataBlockAndKeepsThePictureBytes) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const std::string plain = PlainJpeg(progressive);
        const std::string copy = JpegWithoutMetadata(CameraJpeg(plain), 1);
        for (const char* secret :
             {"GPS", "Serial", "xap", "Anna", "Berlin", "MPF", "Kommentar", "ftyp", "Exif"})
            EXPECT_EQ(copy.find(secret), std::string::npos) << secret;
        EXPECT_NE(copy.find("JFIF"), std::string::npos);
        EXPECT_NE(copy.find(kIcc), std::string::npos) << "the colours depend on the profile";
        EXPECT_EQ(FromFirstTable(copy), FromFirstTable(plain));
        EXPECT_EQ(copy.substr(copy.size() - 2), "\xFF\xD9");
        // A file without metadata comes out as it went in.
        EXPECT_EQ(JpegWithoutMetadata(plain, 1), plain);
    }
}

TEST(JpegWithoutMetadata, KeepsOnlyTheOrientationOfTheExifBlock) {
    TempDir dir;
    const std::string plain = PlainJpeg(false);
    for (int orientation : {1, 3, 6, 8}) {
        const std::string copy = JpegWithoutMetadata(CameraJpeg(plain), orientation);
        WriteBytes(dir / "copy.jpg", copy);
        EXPECT_EQ(ReadExifOrientation(dir / "copy.jpg"), orientation);
        EXPECT_EQ(copy.find("GPS"), std::string::npos);
        EXPECT_EQ(FromFirstTable(copy), FromFirstTable(plain));
        TJpegGraphic decoded;
        ASSERT_NO_THROW(decoded.ReadFromFile(dir / "copy.jpg"));
        EXPECT_EQ(decoded.Width(), 48);
    }
}

TEST(JpegWithoutMetadata, RefusesWhatIsNoJpegAndKeepsACutOffPicture) {
    const std::string plain = PlainJpeg(false);
    EXPECT_THROW(JpegWithoutMetadata("GIF89a", 1), EImageError);
    EXPECT_THROW(JpegWithoutMetadata(plain.substr(0, 30), 1), EImageError);
    std::string broken = plain;
    broken[2 + 2] = '\x7F'; // the JFIF block claims more bytes than the file has
    EXPECT_THROW(JpegWithoutMetadata(broken.substr(0, 200), 1), EImageError);
    // Cut off inside the compressed data: decoders show what there is, and so does the copy.
    const std::string cut = plain.substr(0, plain.size() - 40);
    EXPECT_EQ(JpegWithoutMetadata(cut, 1), cut);
}

TEST(JpegWithoutMetadata, CopyReplacesTheTargetOnlyWhenDone) {
    TempDir dir;
    WriteBytes(dir / "old.jpg", "old");
    EXPECT_THROW(CopyJpegWithoutMetadata(dir / "missing.jpg", dir / "old.jpg", 1), EImageError);
    WriteBytes(dir / "not.jpg", "no picture");
    EXPECT_THROW(CopyJpegWithoutMetadata(dir / "not.jpg", dir / "old.jpg", 1), EImageError);
    EXPECT_EQ(ReadBytes(dir / "old.jpg"), "old");
}

// A real camera-like file made by exiftool: the copy in images/ (which is published) carries no
// position, no XMP and no comment, still stands upright and has the same compressed data.
TEST(CopiedImportTest, PublishedCopyCarriesNoMetadata) {
    TempDir dir;
    const fs::path source = dir / "IMG_0001.jpg";
    const std::string plain = PlainJpeg(false);
    WriteBytes(source, plain);
    const std::string tag = "exiftool -q -overwrite_original -GPSLatitude=52.52 -GPSLatitudeRef=N "
                            "-GPSLongitude=13.40 -GPSLongitudeRef=E -SerialNumber=CAM4711 -Orientation#=6 "
                            "-XMP:Creator=AnnaBerger -Comment=GeheimerKommentar '" +
                            source.string() + "'";
    if (std::system("command -v exiftool > /dev/null") != 0)
        GTEST_FAIL() << "exiftool is needed: install the Debian package libimage-exiftool-perl";
    ASSERT_EQ(std::system(tag.c_str()), 0);
    const std::string tagged = ReadBytes(source);
    for (const char* secret : {"CAM4711", "AnnaBerger", "GeheimerKommentar"})
        ASSERT_NE(tagged.find(secret), std::string::npos) << secret;

    vistrel::testing::TempProgramFolder program;
    program.settings.cbJPEGNoReCompress = true;
    program.settings.edMaxWidth = program.settings.edMaxHeight = "48";
    ImportProgress progress;
    TPictureList pictures;
    const fs::path album = program.dir / "galleries" / "Album";
    TImportJob job{program.settings, progress, album, pictures};
    TImportResult outcome = job.ImportFiles({source});
    ASSERT_EQ(outcome.stored.size(), 1u);
    const std::string stored = ReadBytes(outcome.stored[0]);
    for (const char* secret : {"CAM4711", "AnnaBerger", "GeheimerKommentar", "xmp", "GPS"})
        EXPECT_EQ(stored.find(secret), std::string::npos) << secret;
    EXPECT_EQ(ReadExifOrientation(outcome.stored[0]), 6);
    EXPECT_EQ(FromFirstTable(stored), FromFirstTable(plain));
    EXPECT_LT(stored.size(), tagged.size());
}

} // namespace
