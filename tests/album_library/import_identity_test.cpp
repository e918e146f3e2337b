// The stored pictures and thumbnails of the import, byte for byte. The digests below were taken from
// the import as it was before the decoder fed the resampler row by row (whole picture decoded, then
// reduced, then encoded); any change of resampling, rounding or encoding shows here first. They hold
// for Debian 12's libjpeg-turbo, whose encoder output the digests include.
#include "album_library/import_job.h"
#include "common/md5.h"
#include "image_processing/bitmap_graphic.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/png_graphic.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VISTREL_TEST_DATA) / "import";

// Gradients with noise, so that every tap of the filter and every rounding shows in the result.
void FillNoisy(TDibGraphic& picture, int width, int height, TImageFormat format) {
    picture.NewImage(width, height, format);
    uint32_t state = 2024;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            TColor noise = (state >> 16) & 0x3F;
            TColor r = (x * 200 / width + noise) & 0xFF;
            TColor g = (y * 230 / height + (noise >> 1)) & 0xFF;
            TColor b = ((x ^ y) + noise) & 0xFF;
            picture.WritePixel(x, y, r << 16 | g << 8 | b);
        }
}

// A camera's APP1 block with one IFD entry: Orientation (0x0112), SHORT, one value.
void InsertOrientation(ByteBuffer& bytes, int orientation) {
    const uint8_t app1[] = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0,
                            'M',  'M',  0x00, 0x2A, 0,   0,   0,   8,   0, 1,
                            0x01, 0x12, 0,    3,    0,   0,   0,   1,   0, uint8_t(orientation),
                            0,    0,    0,    0,    0,   0};
    bytes.insert(bytes.begin() + 2, std::begin(app1), std::end(app1));
}

enum class TSource { Jpeg, GrayJpeg, ProgressiveJpeg, Png, Fixture };

struct Row {
    const char* file;
    TSource kind;
    int width, height;
    int orientation;
    const char* stored; // MD5 of the stored picture
    const char* thumb;  // MD5 of its thumbnail
};

void WriteSource(const Row& row, const fs::path& file) {
    fs::create_directories(file.parent_path());
    if (row.kind == TSource::Png) {
        TPngGraphic png;
        FillNoisy(png, row.width, row.height, ifRgb24);
        png.WriteToFile(file);
        return;
    }
    TJpegGraphic jpeg;
    FillNoisy(jpeg, row.width, row.height, row.kind == TSource::GrayJpeg ? ifGray256 : ifRgb24);
    jpeg.Quality = 90;
    jpeg.Progressive = row.kind == TSource::ProgressiveJpeg;
    ByteBuffer bytes;
    jpeg.WriteToStream(bytes);
    if (row.orientation != 1) InsertOrientation(bytes, row.orientation);
    WriteBytes(file, std::string(bytes.begin(), bytes.end()));
}

// Landscape, portrait, panorama and strips whose short side is mended from 1 to 2 pixels, odd
// factors, enlargement, gray, progressive, EXIF turns and mirrors, palette and gray-palette files.
const Row kRows[] = {
    {"land.jpg", TSource::Jpeg, 1600, 1200, 1, "C0B9E2CAB3E2D8B1348BF1497D9CEE20",
     "BEB3EC0D1958E3DA32AF593E07B5F64C"},
    {"port.jpg", TSource::Jpeg, 1200, 1600, 1, "A365303432AED804600739CC8C3FD905",
     "B608F4D4D5351EAEED62C496B3F6D110"},
    {"pano.jpg", TSource::Jpeg, 3000, 400, 1, "9DD97AB79BAE51C8E8D0701985A7BF2B",
     "F022B7A7FC4F935747FBD7F74E7449E8"},
    {"strip.jpg", TSource::Jpeg, 2000, 3, 1, "333768E7F7F663899A58C8FBDA3E9633",
     "6CCB7D4B0F41C80FEA4598AB7B58F00F"},
    {"tower.jpg", TSource::Jpeg, 3, 2000, 1, "523402D95D08B9844D97630E4FCC654F",
     "EB6673E97D7F2441B24E47DD588298F5"},
    {"odd.jpg", TSource::Jpeg, 1001, 751, 1, "3843C0029D23034086D2437ACE8953FF",
     "DE6E50852467CB1F43F94589D6318E3E"},
    {"square.jpg", TSource::Jpeg, 777, 777, 1, "78E2CF6B8E273B79B44B93498B9E7CF8",
     "F221FE949D018994F0253926C37FEF1F"},
    {"small.jpg", TSource::Jpeg, 333, 250, 1, "94DC9B0C273C77EBF18631AECF190A5E",
     "635F9970F65DA36ADAFD1046F091BBBE"},
    {"gray.jpg", TSource::GrayJpeg, 800, 601, 1, "567D8C7C770EDD22DF194BBCEB636148",
     "05A123677FA4E18C91955FBC19BFBA7C"},
    {"prog.jpg", TSource::ProgressiveJpeg, 1023, 767, 1, "2AC13423FEEC7DE896B5999DC0ECDAC7",
     "556D644F37DBB8666B2B9A3053182F34"},
    {"exif3.jpg", TSource::Jpeg, 640, 480, 3, "918FD4D380A13E1C4D2504711E8DC81F",
     "E39F3275FA29E7F67028268A1FC14ED8"},
    {"exif5.jpg", TSource::Jpeg, 640, 480, 5, "EC9059258D262154E34EBFBE42F7F78B",
     "8893CB5CADA8C26C42F9A6A833D42A59"},
    {"exif6.jpg", TSource::Jpeg, 641, 479, 6, "E918EA379C1659E203DFC242CB865D01",
     "E6E9C5F1756BE7104D7AEDB137860EEA"},
    {"exif8.jpg", TSource::Jpeg, 480, 640, 8, "2176450452B8B5E553DEF3321D9ABE8A",
     "0B8098AD5F13B4DF59B6E5C50EC88C1F"},
    {"rgb.png", TSource::Png, 900, 700, 1, "FF7448E093E373813C61DA0024C9C664",
     "39E7EC8F757DA14F4E352273E4115296"},
    {"colors256.bmp", TSource::Fixture, 0, 0, 1, "0C5385E6AF88812AEB729EA9A4B6B931",
     "F0F1DEF5857CE94C91A0AD55E00416E4"},
    {"gray16.bmp", TSource::Fixture, 0, 0, 1, "755120A5AC42240A68A6CDA49CD0670E",
     "26BBC32167EFB7774F2CDCC604AA8B6C"},
    {"palette.png", TSource::Fixture, 0, 0, 1, "A32D93D6BD115082A5EAB4FDC4A712C2",
     "835767F5B2F9152D1D5B36C966ECE670"},
    {"portrait.gif", TSource::Fixture, 0, 0, 1, "E19FACF0D34ABFC63C4B1FF09947C29F",
     "C1BC12122986EA4C2C7DDECD44E513C8"},
};

struct IdentityTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    TProgramSettings settings{TProgramFolders::For(dir.path()), prompts};
    ImportProgress progress;
    fs::path album = dir / "galleries" / "Album";
    TPictureList pictures;
    TImportJob job{settings, progress, album, pictures};

    fs::path Source(const Row& row) {
        if (row.kind == TSource::Fixture) return kFixtures / row.file;
        fs::path file = dir / "in" / row.file;
        if (!fs::exists(file)) WriteSource(row, file);
        return file;
    }
    std::string StoredName(const Row& row) { return fs::path(row.file).stem().string() + ".jpg"; }

    void ExpectDigests(const Row& row, const std::string& storedName) {
        std::string stored = Md5OfFile(album / "images" / storedName);
        std::string thumb = Md5OfFile(album / "thumbs" / storedName);
        EXPECT_EQ(stored, row.stored) << row.file;
        EXPECT_EQ(thumb, row.thumb) << row.file;
        if (stored != row.stored || thumb != row.thumb)
            std::printf("    {\"%s\", ..., \"%s\", \"%s\"},\n", row.file, stored.c_str(), thumb.c_str());
    }
};

} // namespace

TEST_F(IdentityTest, EachPictureAlone) {
    for (const Row& row : kRows) {
        TImportResult outcome = job.ImportFiles({Source(row)});
        ASSERT_EQ(ImportMessage(outcome), "") << row.file;
        ExpectDigests(row, StoredName(row));
    }
}

// The same pictures in one folder import, where the next picture is read while the current one is
// written, must come out exactly as when each is imported alone, in the same order.
TEST_F(IdentityTest, FolderImportGivesTheSameFiles) {
    fs::path folder = dir / "folder";
    fs::create_directories(folder);
    std::vector<const Row*> passing;
    for (const Row& row : kRows) {
        if (!PassesImportExtensionTest(row.file)) continue;
        fs::copy_file(Source(row), folder / row.file);
        passing.push_back(&row);
    }
    TImportResult outcome = job.ImportFolder(folder);
    ASSERT_EQ(outcome.stored.size(), passing.size());
    std::sort(passing.begin(), passing.end(),
              [](const Row* a, const Row* b) { return std::string(a->file) < std::string(b->file); });
    for (size_t i = 0; i < passing.size(); ++i) {
        EXPECT_EQ(outcome.stored[i].filename().string(), StoredName(*passing[i]));
        ExpectDigests(*passing[i], StoredName(*passing[i]));
    }
}

// A JPEG of the target size copied unchanged: its thumbnail comes from the decoded source.
TEST_F(IdentityTest, CopiedJpegAndSettingVariants) {
    settings.cbJPEGNoReCompress = true;
    Row exact{"exact.jpg", TSource::Jpeg, 500, 375, 1, "", "A1114152D99DDC7343212BA4406EE78F"};
    job.ImportFiles({Source(exact)});
    EXPECT_EQ(Md5OfFile(album / "images" / "exact.jpg"), Md5OfFile(Source(exact)));
    EXPECT_EQ(Md5OfFile(album / "thumbs" / "exact.jpg"), exact.thumb);

    settings.cbJPEGNoReCompress = false;
    settings.cbGamma = true;
    settings.edGamma = "1,5";
    settings.rgQuality = 0;
    settings.edMaxWidth = "640";
    settings.edMaxHeight = "480";
    Row gamma{"gamma.jpg",
              TSource::Jpeg,
              1600,
              1200,
              6,
              "433198DBC12EB8DAB975F51DB36D7EB0",
              "42823975FCC3FFCBBDC0BC4C00CE0692"};
    job.ImportFiles({Source(gamma)});
    ExpectDigests(gamma, "gamma.jpg");
}

// "Abbrechen" while the third of ten camera-like JPEGs is in work: the fourth, already being read
// ahead, is dropped, and exactly three pictures are in the album, on disk as in the list.
TEST_F(IdentityTest, StopAfterThirdOfTenLeavesExactlyThree) {
    struct StopAtThird : ImportProgress {
        void ShowCount(int, const std::string& countText) override {
            counts.push_back(countText);
            if (counts.size() == 3) stopped = true;
        }
        bool Cancelled() const override { return stopped; }
        std::vector<std::string> counts;
        bool stopped = false;
    } stopAtThird;
    TImportJob stoppable{settings, stopAtThird, album, pictures};
    fs::path folder = dir / "ten";
    for (int i = 0; i < 10; ++i) {
        Row row{"", TSource::Jpeg, 900 + 16 * i, 600, 1, "", ""};
        WriteSource(row, folder / ("p" + std::to_string(i) + ".jpg"));
    }
    TImportResult outcome = stoppable.ImportFolder(folder);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(stopAtThird.counts, (std::vector<std::string>{"1 von 10", "2 von 10", "3 von 10"}));
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[2].FileName(), "p2.jpg");
    for (const char* sub : {"images", "thumbs"}) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(album / sub))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"p0.jpg", "p1.jpg", "p2.jpg"})) << sub;
    }
}
