#include "album_library/exif_orientation.h"
#include "album_library/import_job.h"
#include "common/atomic_file.h"
#include "image_processing/bitmap_graphic.h"
#include "image_processing/graphic_registry.h"
#include "image_processing/image_error.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/png_graphic.h"
#include "image_processing/tiff_graphic.h"
#include "support/temp_program_folder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::TempProgramFolder;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VISTREL_TEST_DATA) / "import";

// Records the steps shown and presses "Abbrechen" while the file numbered `stopAt` is in work.
class ScriptedImportProgress : public ImportProgress {
public:
    void Start(int files) override { started = files, stopped = false; }
    void ShowCount(int barPosition, const std::string& countText) override {
        bars.push_back(barPosition);
        counts.push_back(countText);
        if (int(counts.size()) == stopAt) stopped = true;
    }
    void ShowStep(const std::string& step) override { steps.push_back(step); }
    bool Cancelled() const override { return stopped; }
    void Close() override { ++closed; }

    int stopAt = -1;
    int started = -1;
    int closed = 0;
    bool stopped = false;
    std::vector<int> bars;
    std::vector<std::string> counts;
    std::vector<std::string> steps;
};

// A picture whose pixels vary, so that a resize or a gamma correction shows in them.
void FillPattern(TDibGraphic& picture, int width, int height) {
    picture.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.WritePixel(x, y, TColor((x * 255 / width) << 16 | (y * 255 / height) << 8 | 0x60));
}

void WritePicture(TDibGraphic&& format, const fs::path& file, int width, int height) {
    fs::create_directories(file.parent_path());
    FillPattern(format, width, height);
    format.WriteToFile(file);
}

void WriteJpeg(const fs::path& file, int width, int height) {
    WritePicture(TJpegGraphic(), file, width, height);
}

TPictureSize SizeOf(const fs::path& file) {
    TDibGraphic picture;
    LoadPictureFile(file, 1, {}, picture);
    return {picture.Width(), picture.Height()};
}

struct ImportTest : ::testing::Test, TempProgramFolder {
    ScriptedImportProgress progress;
    fs::path album = dir / "galleries" / "Album";
    TPictureList pictures;
    TImportJob job{settings, progress, album, pictures};

    fs::path Source(const std::string& name) const { return dir / "in" / name; }
    fs::path Stored(const std::string& name) const { return album / "images" / name; }
    fs::path Thumb(const std::string& name) const { return album / "thumbs" / name; }

    TImportResult ImportOne(const fs::path& file) {
        TImportResult outcome = job.ImportFiles({file});
        EXPECT_EQ(ImportMessage(outcome), "");
        return outcome;
    }
};

} // namespace

namespace vistrel {
// Sizes in failure messages as "500x375".
std::ostream& operator<<(std::ostream& out, const TPictureSize& size) {
    return out << size.width << "x" << size.height;
}
} // namespace vistrel

TEST(ImportRules, TargetSize) {
    struct Row {
        const char* name;
        int w, h, maxW, maxH;
        bool autoSize, dontEnlarge;
        TPictureSize expected;
    } rows[] = {
        {"landscape takes the width", 1600, 1200, 500, 500, true, false, {500, 375}},
        {"portrait takes the height", 1200, 1600, 500, 500, true, false, {375, 500}},
        {"square takes the height", 800, 800, 500, 500, true, false, {500, 500}},
        {"landscape is not fitted into the box", 1000, 900, 800, 600, true, false, {800, 720}},
        {"portrait is not fitted into the box", 900, 1000, 600, 800, true, false, {720, 800}},
        {"half rounds to even", 1000, 625, 500, 500, true, false, {500, 312}},
        {"enlarges by default", 100, 75, 500, 500, true, false, {500, 375}},
        {"never enlarges when told", 100, 75, 500, 500, true, true, {100, 75}},
        {"dont-enlarge looks at the width only", 600, 75, 500, 500, true, true, {500, 62}},
        {"auto-size off keeps the size", 3000, 2000, 500, 500, false, false, {3000, 2000}},
        {"a thin strip keeps 2 pixels", 2000, 3, 500, 500, true, false, {500, 2}},
        {"a thin column keeps 2 pixels", 3, 2000, 500, 500, true, false, {2, 500}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ImportTargetSize(row.w, row.h, {row.maxW, row.maxH}, row.autoSize, row.dontEnlarge),
                  row.expected)
            << row.name;
}

TEST(ImportRules, GammaFactor) {
    struct Row {
        const char* text;
        std::optional<double> factor;
    } rows[] = {
        {"1,0", std::nullopt},  {"0,05", std::nullopt}, {"8", std::nullopt},
        {"7,01", std::nullopt}, {"0,1", 0.1},           {"7", 7.0},
        {"1,5", 1.5},           {" 2,25 ", 2.25},       {"1.5", std::nullopt},
        {"", std::nullopt},     {"abc", std::nullopt},  {"1,5x", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ImportGammaFactor(row.text), row.factor) << '"' << row.text << '"';
}

TEST(ImportRules, QualityNamesAndExtensions) {
    EXPECT_EQ(ImportQuality(0), 90);
    EXPECT_EQ(ImportQuality(1), 75);
    EXPECT_EQ(ImportQuality(2), 60);
    EXPECT_EQ(ImportQuality(7), 75);
    EXPECT_EQ(ImportFileName("/x/Urlaub am Meer.JPG"), "Urlaub_am_Meer.jpg");
    EXPECT_EQ(ImportFileName("/x/Gr\xC3\xBC\xC3\x9F"
                             "e.tar.png"),
              "Gruesse.tar.jpg");
    for (const char* name : {"a.jpg", "a.JPEG", "a.Tif", "a.jpe", "a.pn", "a.gif", "a.BMP"})
        EXPECT_TRUE(PassesImportExtensionTest(name)) << name;
    for (const char* name : {"a.tiff", "a.pcx", "a", "a.txt", "a.jpgx"})
        EXPECT_FALSE(PassesImportExtensionTest(name)) << name;
}

TEST_F(ImportTest, StoredAndThumbnailSizes) {
    struct Row {
        int w, h;
        TPictureSize stored, thumb;
    } rows[] = {
        {1600, 1200, {500, 375}, {120, 90}},
        {1200, 1600, {375, 500}, {90, 120}},
        {800, 800, {500, 500}, {120, 120}},
    };
    for (const Row& row : rows) {
        std::string name = "p" + std::to_string(row.w) + "x" + std::to_string(row.h) + ".jpg";
        progress.steps.clear();
        WriteJpeg(Source(name), row.w, row.h);
        TImportResult outcome = ImportOne(Source(name));
        ASSERT_EQ(outcome.stored, std::vector<fs::path>{Stored(name)});
        EXPECT_EQ(SizeOf(Stored(name)), row.stored) << name;
        EXPECT_EQ(SizeOf(Thumb(name)), row.thumb) << name;
    }
    EXPECT_EQ(progress.steps,
              (std::vector<std::string>{kStepRead, kStepResize, kStepSave, kStepThumbnail, kStepSave}));
}

TEST_F(ImportTest, MaximumSizeAndSwitches) {
    settings.edMaxWidth = "800";
    settings.edMaxHeight = "600";
    WriteJpeg(Source("wide.jpg"), 1000, 900);
    ImportOne(Source("wide.jpg"));
    EXPECT_EQ(SizeOf(Stored("wide.jpg")), (TPictureSize{800, 720}));
    EXPECT_EQ(SizeOf(Thumb("wide.jpg")), (TPictureSize{120, 108}));

    settings.cbDontEnlarge = true;
    WritePicture(TPngGraphic(), Source("small.png"), 100, 75);
    ImportOne(Source("small.png"));
    EXPECT_EQ(SizeOf(Stored("small.jpg")), (TPictureSize{100, 75}));
    EXPECT_EQ(SizeOf(Thumb("small.jpg")), (TPictureSize{120, 90}));

    settings.cbAutoSize = false;
    // The table above has 3000x2000; a smaller picture keeps the test quick under the sanitizers.
    WriteJpeg(Source("big.jpg"), 1500, 1000);
    ImportOne(Source("big.jpg"));
    EXPECT_EQ(SizeOf(Stored("big.jpg")), (TPictureSize{1500, 1000}));
}

TEST_F(ImportTest, SameNameGetsNumberedOrOverwritten) {
    WriteJpeg(Source("Urlaub am Meer.JPG"), 160, 120);
    for (int i = 0; i < 3; ++i)
        ImportOne(Source("Urlaub am Meer.JPG"));
    EXPECT_TRUE(fs::exists(Stored("Urlaub_am_Meer.jpg")));
    EXPECT_TRUE(fs::exists(Stored("Urlaub_am_Meer(1).jpg")));
    EXPECT_TRUE(fs::exists(Thumb("Urlaub_am_Meer(2).jpg")));
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[2].FileName(), "Urlaub_am_Meer(2).jpg");

    settings.rgOverwriteFiles = 0;
    pictures[0] = TPictureEntry({"URLAUB_am_Meer.jpg", "Titel", "Text"});
    TAddedPicture added;
    job.OnPictureAdded = [&added](const TAddedPicture& a) { added = a; };
    ImportOne(Source("Urlaub am Meer.JPG"));
    EXPECT_EQ(added.index, 0);
    EXPECT_FALSE(added.appended);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0].Title(), "Titel");
    EXPECT_EQ(pictures[0].Text(), "Text");
    EXPECT_FALSE(fs::exists(Stored("Urlaub_am_Meer(3).jpg")));
}

TEST_F(ImportTest, JpegOfTargetSizeIsCopiedByteForByte) {
    settings.cbJPEGNoReCompress = true;
    WriteJpeg(Source("fits.jpg"), 500, 375);
    ImportOne(Source("fits.jpg"));
    EXPECT_EQ(ReadBytes(Stored("fits.jpg")), ReadBytes(Source("fits.jpg")));
    EXPECT_EQ(SizeOf(Thumb("fits.jpg")), (TPictureSize{120, 90}));

    // ".jpeg", a gamma switched on (even at 1,0) and any other format are always encoded again.
    fs::copy_file(Source("fits.jpg"), Source("fits2.jpeg"));
    ImportOne(Source("fits2.jpeg"));
    EXPECT_NE(ReadBytes(Stored("fits2.jpg")), ReadBytes(Source("fits2.jpeg")));
    settings.cbGamma = true;
    ImportOne(Source("fits.jpg"));
    EXPECT_NE(ReadBytes(Stored("fits(1).jpg")), ReadBytes(Source("fits.jpg")));
    settings.cbGamma = false;
    WritePicture(TPngGraphic(), Source("fits.png"), 500, 375);
    WritePicture(TBitmapGraphic(), Source("fits.bmp"), 500, 375);
    WritePicture(TTiffGraphic(), Source("fits.tif"), 500, 375);
    for (const char* name : {"fits.png", "fits.bmp", "fits.tif"}) {
        TImportResult outcome = ImportOne(Source(name));
        ASSERT_EQ(outcome.stored.size(), 1u) << name;
        TJpegGraphic stored;
        EXPECT_NO_THROW(stored.ReadFromFile(outcome.stored[0])) << name;
        EXPECT_EQ(stored.Width(), 500) << name;
    }
    settings.edMaxWidth = settings.edMaxHeight = "80";
    ImportOne(kFixtures / "portrait.gif");
    TJpegGraphic gif;
    EXPECT_NO_THROW(gif.ReadFromFile(Stored("portrait.jpg")));
    EXPECT_EQ(SizeOf(Stored("portrait.jpg")), (TPictureSize{60, 80}));
}

TEST_F(ImportTest, GammaOnlyWithinItsLimits) {
    settings.edMaxWidth = settings.edMaxHeight = "64";
    WriteJpeg(Source("g.jpg"), 64, 48);
    ImportOne(Source("g.jpg"));
    std::string plain = ReadBytes(Stored("g.jpg"));
    settings.cbGamma = true;
    struct Row {
        const char* text;
        bool applied;
    } rows[] = {{"1,0", false}, {"0,05", false}, {"8", false}, {"0,1", true}, {"7", true}};
    for (const Row& row : rows) {
        settings.edGamma = row.text;
        progress.steps.clear();
        fs::path stored = ImportOne(Source("g.jpg")).stored.at(0);
        EXPECT_EQ(ReadBytes(stored) != plain, row.applied) << row.text;
        bool shown = std::count(progress.steps.begin(), progress.steps.end(), kStepGamma) > 0;
        EXPECT_EQ(shown, row.applied) << row.text;
    }
}

TEST_F(ImportTest, PaletteAndGrayPicturesImport) {
    // The JPEG writer itself still refuses a palette picture; the import converts first.
    TJpegGraphic palette;
    palette.NewImage(8, 8, ifColor256);
    ByteBuffer out;
    EXPECT_THROW(palette.WriteToStream(out), EImageError);

    TImportResult outcome =
        job.ImportFiles({kFixtures / "colors256.bmp", kFixtures / "gray16.bmp", kFixtures / "palette.png"});
    ASSERT_EQ(ImportMessage(outcome), "");
    ASSERT_EQ(outcome.stored.size(), 3u);
    TJpegGraphic color, gray;
    color.ReadFromFile(Stored("colors256.jpg"));
    gray.ReadFromFile(Stored("gray16.jpg"));
    EXPECT_EQ(color.ImageFormat(), ifRgb24);
    EXPECT_EQ(gray.ImageFormat(), ifGray256);
    EXPECT_EQ(SizeOf(Thumb("palette.jpg")), (TPictureSize{120, 90}));
}

TEST_F(ImportTest, VeryWidePictureGetsTwoPixelThumbnail) {
    WritePicture(TPngGraphic(), Source("strip.png"), 1000, 5);
    ImportOne(Source("strip.png"));
    EXPECT_EQ(SizeOf(Stored("strip.jpg")), (TPictureSize{500, 2}));
    EXPECT_EQ(SizeOf(Thumb("strip.jpg")), (TPictureSize{120, 2}));
}

TEST_F(ImportTest, StopDuringThirdOfTenFiles) {
    std::vector<fs::path> files;
    for (int i = 9; i >= 0; --i) {
        files.push_back(Source("f" + std::to_string(i) + ".png"));
        WritePicture(TPngGraphic(), files.back(), 40, 30);
    }
    progress.stopAt = 3;
    TImportResult outcome = job.ImportFiles(files);
    EXPECT_TRUE(outcome.cancelled);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[2].FileName(), "f2.jpg"); // sorted
    EXPECT_EQ(progress.counts, (std::vector<std::string>{"1 von 10", "2 von 10", "3 von 10"}));
    EXPECT_EQ(progress.bars, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(progress.closed, 1);
}

TEST_F(ImportTest, EveryWayImportsEveryReadableFileAndNamesTheRest) {
    WritePicture(TPngGraphic(), Source("a.png"), 40, 30);
    WriteBytes(Source("b.jpg"), "not a picture");
    WritePicture(TPngGraphic(), Source("c.png"), 40, 30);
    WriteBytes(Source("notes.txt"), "text");
    WritePicture(TTiffGraphic(), Source("d.tiff"), 40, 30);
    fs::create_directories(Source("folder.jpg"));

    TImportResult files = job.ImportFiles({Source("c.png"), Source("b.jpg"), Source("a.png")});
    EXPECT_EQ(files.code, TImportCode::SomeLeftOut);
    EXPECT_EQ(files.stored, (std::vector<fs::path>{Stored("a.jpg"), Stored("c.jpg")}));
    ASSERT_EQ(files.leftOut.size(), 1u);
    EXPECT_EQ(files.leftOut[0].file, Source("b.jpg"));
    EXPECT_EQ(files.leftOut[0].problem, TImportProblem::NotAPicture);
    EXPECT_FALSE(fs::exists(Stored("b.jpg")));

    pictures.clear();
    progress.bars.clear();
    settings.rgOverwriteFiles = 0;
    TImportResult folder = job.ImportFolder(dir / "in");
    EXPECT_EQ(folder.stored, (std::vector<fs::path>{Stored("a.jpg"), Stored("c.jpg")}));
    ASSERT_EQ(folder.leftOut.size(), 1u) << "a skipped file is named, not dropped without a word";
    EXPECT_EQ(folder.leftOut[0].file, Source("b.jpg"));
    EXPECT_EQ(progress.bars, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(pictures.size(), 2u);

    pictures.clear();
    TImportResult dropped = job.ImportDropped({Source("folder.jpg"), Source("c.png"), Source("notes.txt"),
                                               Source("b.jpg"), Source("d.tiff"), Source("a.png")});
    EXPECT_EQ(dropped.stored, (std::vector<fs::path>{Stored("c.jpg"), Stored("a.jpg")}));
    EXPECT_EQ(dropped.lastAdded, 1);
    EXPECT_EQ(dropped.leftOut.size(), 1u);
}

TEST_F(ImportTest, FiveFilesWithTwoBadOnesImportTheThreeGoodOnes) {
    WriteJpeg(Source("1.jpg"), 64, 48);
    WriteBytes(Source("2.jpg"), "Einkaufsliste: Milch, Brot\n");
    WriteJpeg(Source("3.jpg"), 64, 48);
    std::string noise(4000, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    WriteBytes(Source("4.jpg"), noise);
    WriteJpeg(Source("5.jpg"), 64, 48);
    std::string cut;
    WriteJpeg(Source("6.jpg"), 64, 48);
    ASSERT_TRUE(ReadFileBytes(Source("6.jpg"), cut));
    WriteBytes(Source("6.jpg"), cut.substr(0, 40)); // a JPEG header cut short: no picture data

    TImportResult result = job.ImportFiles({Source("1.jpg"), Source("2.jpg"), Source("3.jpg"),
                                            Source("4.jpg"), Source("5.jpg"), Source("6.jpg")});
    EXPECT_EQ(result.stored.size(), 3u);
    EXPECT_EQ(pictures.size(), 3u);
    ASSERT_EQ(result.leftOut.size(), 3u);
    EXPECT_EQ(result.leftOut[0].problem, TImportProblem::NotAPicture);
    EXPECT_EQ(result.leftOut[1].problem, TImportProblem::NotAPicture);
    EXPECT_EQ(result.leftOut[2].problem, TImportProblem::Broken);
    EXPECT_EQ(progress.closed, 1);

    std::string message = ImportMessage(result);
    EXPECT_EQ(message.rfind("Von 6 Dateien wurden 3 importiert.\r\n\r\nNicht importiert:\r\n"
                            "- \"2.jpg\": Die Datei ist kein Bild in einem bekannten Format.\r\n",
                            0),
              0u)
        << message;
    EXPECT_NE(message.find("- \"6.jpg\": Das Bild ist besch\xE4"
                           "digt"),
              std::string::npos)
        << message;
    // The readers' English stays below "Details:", after every German line.
    size_t details = message.find("\r\nDetails:\r\n2.jpg: ");
    ASSERT_NE(details, std::string::npos) << message;
    EXPECT_EQ(message.find("JPEG"), message.find("JPEG", details)) << message;
}

TEST_F(ImportTest, TruncatedJpegIsImportedAndListedAsPossiblyDamaged) {
    WriteJpeg(Source("cut.jpg"), 320, 240);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(Source("cut.jpg"), bytes));
    WriteBytes(Source("cut.jpg"), bytes.substr(0, bytes.size() / 2));
    WriteJpeg(Source("whole.jpg"), 320, 240);

    TImportResult result = job.ImportFiles({Source("cut.jpg"), Source("whole.jpg")});
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(result.stored.size(), 2u);
    ASSERT_EQ(result.damaged.size(), 1u);
    EXPECT_EQ(result.damaged[0].file, Source("cut.jpg"));
    EXPECT_TRUE(fs::exists(Thumb("cut.jpg")));
    std::string message = ImportMessage(result);
    EXPECT_NE(message.find("m\xF6glicherweise besch\xE4"
                           "digt"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("- \"cut.jpg\": Das Bild ist unvollst\xE4ndig"), std::string::npos) << message;
}

TEST(ImportFailures, PlainReasons) {
    TempDir dir;
    WriteBytes(dir / "empty.jpg", "");
    WriteBytes(dir / "text.jpg", "hello");
    WriteBytes(dir / "png.png", "\x89PNG\r\n\x1A\n");
    EImageError decode("Not a JPEG file: starts with 0x68 0x65");
    EXPECT_EQ(ClassifyImportFailure(decode, dir / "empty.jpg"), TImportProblem::EmptyFile);
    EXPECT_EQ(ClassifyImportFailure(decode, dir / "text.jpg"), TImportProblem::NotAPicture);
    EXPECT_EQ(ClassifyImportFailure(decode, dir / "png.png"), TImportProblem::Broken);
    EXPECT_EQ(ClassifyImportFailure(decode, dir / "gone.jpg"), TImportProblem::CannotOpen);
    EXPECT_EQ(
        ClassifyImportFailure(EImageError("Image of 30000 x 30000 pixels is too large"), dir / "png.png"),
        TImportProblem::TooLarge);
    EXPECT_EQ(ClassifyImportFailure(EFileWriteError("No space left on device"), dir / "png.png"),
              TImportProblem::WriteFailed);

    TImportResult scan;
    scan.code = TImportCode::NotStored;
    scan.detail = "No space left on device";
    EXPECT_EQ(ImportMessage(scan),
              "Das gescannte Bild konnte nicht im Album gespeichert werden. Pr\xFC"
              "fen Sie bitte, ob der Datentr\xE4ger voll oder schreibgesch\xFCtzt ist.\r\n"
              "Details: No space left on device");
    EXPECT_EQ(ImportMessage(TImportResult{}), "");
}

TEST_F(ImportTest, FolderWithoutPictures) {
    WriteBytes(Source("notes.txt"), "text");
    WriteBytes(Source("scan.pcx"), "x");
    TImportResult outcome = job.ImportFolder(dir / "in");
    EXPECT_EQ(outcome.code, TImportCode::NoPictures);
    EXPECT_EQ(progress.started, -1);
}

TEST_F(ImportTest, OtherEncodersFiles) {
    struct Row {
        const char* file;
        const char* stored;
        TPictureSize size, thumb;
    } rows[] = {
        {"landscape.jpg", "landscape.jpg", {500, 375}, {120, 90}},
        {"portrait.gif", "portrait.jpg", {375, 500}, {90, 120}},
        {"picture.tif", "picture.jpg", {500, 375}, {120, 90}},
    };
    for (const Row& row : rows) {
        ImportOne(kFixtures / row.file);
        EXPECT_EQ(SizeOf(Stored(row.stored)), row.size) << row.file;
        EXPECT_EQ(SizeOf(Thumb(row.stored)), row.thumb) << row.file;
    }
}

namespace {

// Quadrants red, green / blue, white, so that every turn and mirror puts another colour top left.
void WriteQuadrantJpeg(const fs::path& file, int orientation) {
    TJpegGraphic picture;
    picture.NewImage(64, 32, ifRgb24);
    const TColor colors[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            picture.WritePixel(x, y, colors[(y / 16) * 2 + x / 32]);
    picture.Quality = 95;
    ByteBuffer bytes;
    picture.WriteToStream(bytes);
    // A camera's APP1 block with one IFD entry: Orientation (0x0112), SHORT, one value.
    const uint8_t app1[] = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0,
                            'M',  'M',  0x00, 0x2A, 0,   0,   0,   8,   0, 1,
                            0x01, 0x12, 0,    3,    0,   0,   0,   1,   0, uint8_t(orientation),
                            0,    0,    0,    0,    0,   0};
    bytes.insert(bytes.begin() + 2, std::begin(app1), std::end(app1));
    WriteBytes(file, std::string(bytes.begin(), bytes.end()));
}

// The nearest of the four quadrant colours at a point given in fractions of the picture.
char ColorAt(const fs::path& file, double fx, double fy) {
    TDibGraphic picture;
    LoadPictureFile(file, 1, {}, picture);
    TColor c = picture.ReadPixel(int(fx * picture.Width()), int(fy * picture.Height()));
    int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (r > 128 && g > 128 && b > 128) return 'W';
    if (r > 128) return 'R';
    return g > 128 ? 'G' : 'B';
}

} // namespace

TEST_F(ImportTest, ExifOrientationTurnsPictureUpright) {
    struct Row {
        int orientation;
        const char* corners; // top left, top right of the upright picture
        TPictureSize stored, thumb;
    } rows[] = {
        {1, "RG", {500, 250}, {120, 60}}, {2, "GR", {500, 250}, {120, 60}}, {3, "WB", {500, 250}, {120, 60}},
        {4, "BW", {500, 250}, {120, 60}}, {5, "RB", {250, 500}, {60, 120}}, {6, "BR", {250, 500}, {60, 120}},
        {7, "WG", {250, 500}, {60, 120}}, {8, "GW", {250, 500}, {60, 120}},
    };
    for (const Row& row : rows) {
        std::string name = "o" + std::to_string(row.orientation) + ".jpg";
        WriteQuadrantJpeg(Source(name), row.orientation);
        EXPECT_EQ(ReadExifOrientation(Source(name)), row.orientation);
        ImportOne(Source(name));
        for (const fs::path& file : {Stored(name), Thumb(name)}) {
            std::string corners{ColorAt(file, 0.1, 0.1), ColorAt(file, 0.9, 0.1)};
            EXPECT_EQ(corners, row.corners) << file;
        }
        EXPECT_EQ(SizeOf(Stored(name)), row.stored) << name;
        EXPECT_EQ(SizeOf(Thumb(name)), row.thumb) << name;
    }
}

TEST_F(ImportTest, CopiedJpegKeepsItsOrientationButThumbnailIsUpright) {
    settings.cbJPEGNoReCompress = true;
    settings.edMaxWidth = settings.edMaxHeight = "64";
    WriteQuadrantJpeg(Source("turned.jpg"), 6);
    ImportOne(Source("turned.jpg"));
    EXPECT_EQ(ReadBytes(Stored("turned.jpg")), ReadBytes(Source("turned.jpg")));
    EXPECT_EQ(SizeOf(Thumb("turned.jpg")), (TPictureSize{60, 120}));
    EXPECT_EQ(ColorAt(Thumb("turned.jpg"), 0.1, 0.1), 'B');
    EXPECT_EQ(ReadExifOrientation(dir / "missing.jpg"), 1);
}
