#include "sane_config.h"
#include "scanner/scan_job.h"
#include "scanner/scanner_error.h"
#include "settings/program_settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::UseNoSaneDevice;
using vistrel::testing::UseSaneTestBackend;

namespace {

// The source's window as a script; without one the scan starts at once. "Abbrechen" can be pressed
// at the first progress report of a chosen page.
class ScriptedScanControl : public ScanJobControl {
public:
    void ShowSourceDialog(TScanSession& session) override {
        if (dialog)
            dialog(session);
        else
            steps.push_back(session.Scan(*this));
    }
    void ScanProgress(int page, int percent) override {
        ++reports;
        lastPercent = percent;
        if (page == cancelAtPage) cancelled = true;
    }
    bool Cancelled() const override { return cancelled; }

    std::function<void(TScanSession&)> dialog;
    std::vector<TScanStep> steps;
    int cancelAtPage = 0;
    bool cancelled = false;
    int reports = 0;
    int lastPercent = -1;
};

class ScannerTest : public ::testing::Test {
protected:
    // Each scan starts from the device's own values unless the test is about remembering them.
    TJobResult<TScanCode> Scan(const TScanParams& params = {}) {
        if (!keepRemembered) {
            TIniFile ini = settings.LoadFile();
            ini.EraseSection(kScannerSection);
            settings.SaveFile(ini);
        }
        TScanner scanner;
        TScanJob job(scanner, settings);
        auto result = job.Run(params, picture, control);
        pages = job.Pages();
        stateAfter = scanner.State();
        return result;
    }

    TempDir folder;
    ScriptedPrompts prompts;
    TProgramSettings settings{TProgramFolders::For(folder.path()), prompts};
    TDibGraphic picture;
    ScriptedScanControl control;
    int pages = 0;
    TScannerState stateAfter = ssNotLoaded;
    bool keepRemembered = false;
};

TEST_F(ScannerTest, WithoutDeviceTheScannerIsUnavailableAndTheJobSaysSoOnly) {
    UseNoSaneDevice();
    {
        TScanner scanner;
        EXPECT_FALSE(scanner.IsAvailable());
        EXPECT_EQ(scanner.CurrentDevice(), nullptr);
    }
    auto result = Scan();
    EXPECT_EQ(result.code, TScanCode::NoDevice);
    EXPECT_EQ(ScanMessage(result), "TWAIN Schnittstelle nicht gefunden");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(picture.IsEmpty());
}

TEST_F(ScannerTest, OnlyOneScannerObjectMayExist) {
    UseNoSaneDevice();
    TScanner first;
    try {
        TScanner second;
        FAIL() << "a second scanner object was created";
    } catch (const EScannerError& e) {
        EXPECT_STREQ(e.what(), "Only one scanner object is permitted");
    }
}

TEST_F(ScannerTest, AcquireCannotStartAgainFromWithinItself) {
    UseSaneTestBackend();
    TScanner scanner;
    struct : ScanSourceUi {
        void Show(TScanSession&) override {
            try {
                inner->Acquire(*this, {});
            } catch (const EScannerError& e) {
                text = e.what();
            }
        }
        TScanner* inner = nullptr;
        std::string text;
    } ui;
    ui.inner = &scanner;
    scanner.Acquire(ui, {});
    EXPECT_EQ(ui.text, "The scanner is already in use");
    EXPECT_EQ(scanner.State(), ssClosed);
}

TEST_F(ScannerTest, ListsTheTestDeviceAndSelectsTheChosenOne) {
    UseSaneTestBackend("number_of_devices 2\n");
    TScanner scanner;
    ASSERT_TRUE(scanner.IsAvailable());
    EXPECT_EQ(scanner.State(), ssLoaded);
    ASSERT_EQ(scanner.Devices().size(), 2u);
    EXPECT_EQ(scanner.Devices()[0].name, "test:0");
    EXPECT_EQ(scanner.Devices()[1].model, "frontend-tester");

    struct : DeviceChooser {
        std::optional<size_t> Choose(const std::vector<TScanDevice>& devices, int current) override {
            shown = devices.size(), before = current;
            return answer;
        }
        std::optional<size_t> answer = 1;
        size_t shown = 0;
        int before = -2;
    } chooser;
    EXPECT_TRUE(scanner.SelectSource(chooser));
    EXPECT_EQ(chooser.shown, 2u);
    EXPECT_EQ(chooser.before, 0);
    EXPECT_EQ(scanner.CurrentDevice()->name, "test:1");
    chooser.answer = std::nullopt;
    EXPECT_FALSE(scanner.SelectSource(chooser));
    EXPECT_EQ(scanner.CurrentDevice()->name, "test:1");
}

TEST_F(ScannerTest, FlatbedScansHaveTheSizeOfAreaAndResolution) {
    UseSaneTestBackend();
    ASSERT_TRUE(Scan().Ok());
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(picture.ImageFormat(), ifGray256);
    EXPECT_EQ(picture.Width(), 200);
    EXPECT_EQ(picture.Height(), 98);
    EXPECT_EQ(picture.XDotsPerInch(), 100);
    EXPECT_EQ(picture.YDotsPerInch(), 100);
    EXPECT_EQ(stateAfter, ssClosed);

    auto color = Scan({"", {{"mode", "Color"}, {"resolution", "200"}}});
    ASSERT_TRUE(color.Ok()) << color.detail;
    EXPECT_EQ(picture.ImageFormat(), ifRgb24);
    EXPECT_EQ(picture.Width(), 401);  // 51 mm at 200 dpi: 401.6
    EXPECT_EQ(picture.Height(), 196); // 25 mm: 196.9
    EXPECT_EQ(picture.XDotsPerInch(), 200);
    EXPECT_GT(control.reports, 0);
    EXPECT_EQ(control.lastPercent, 100);
}

// A hand scanner knows its height only at the end: the picture takes the lines that came.
TEST_F(ScannerTest, AHandScannerOfUnknownHeightGivesTheLinesThatCame) {
    UseSaneTestBackend("hand-scanner true\n");
    auto result = Scan();
    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_EQ(picture.Width(), 433); // the simulated 11 cm at 100 dpi
    EXPECT_GT(picture.Height(), 0);
    EXPECT_EQ(control.lastPercent, 0); // no share of an unknown whole
}

TEST_F(ScannerTest, TheFeederDeliversEveryPageAndTheLastStays) {
    UseSaneTestBackend();
    control.dialog = [&](TScanSession& session) {
        session.SetOption("source", "Automatic Document Feeder");
        EXPECT_TRUE(session.FeederSelected());
        EXPECT_EQ(session.Scan(control), TScanStep::Done);
    };
    auto result = Scan();
    ASSERT_TRUE(result.Ok()) << result.detail;
    EXPECT_EQ(pages, 10);
    EXPECT_EQ(picture.Width(), 200);
    EXPECT_EQ(stateAfter, ssClosed);
}

TEST_F(ScannerTest, CancelDuringTheScanDeliversNothingAndClosesTheDevice) {
    // The whole area at 300 dpi, seven bytes per read: some 800000 reads, while "Abbrechen" is
    // pressed at the first progress report, after one per cent. (The device's read delay would make
    // this surer, but it has no effect in this driver.)
    UseSaneTestBackend("br_x 200.0\nbr_y 200.0\n");
    control.cancelAtPage = 1;
    auto result = Scan({"", {{"resolution", "300"}, {"read-limit", "true"}, {"read-limit-size", "7"}}});
    EXPECT_TRUE(result.Ok());
    ASSERT_EQ(control.steps.size(), 1u);
    EXPECT_EQ(control.steps[0], TScanStep::Cancelled);
    EXPECT_EQ(pages, 0);
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_EQ(stateAfter, ssClosed);
}

TEST_F(ScannerTest, LinesInOddPiecesGiveTheSamePicture) {
    UseSaneTestBackend("mode Color\n");
    ASSERT_TRUE(Scan().Ok());
    TDibGraphic whole;
    whole.TakeImageFrom(picture);
    ASSERT_TRUE(Scan({"", {{"read-limit", "true"}, {"read-limit-size", "7"}}}).Ok());
    ASSERT_EQ(picture.ImageSize(), whole.ImageSize());
    EXPECT_EQ(0, std::memcmp(picture.Pixels(), whole.Pixels(), whole.ImageSize()));
}

// Each case scans the same picture as its reference in another frame layout and must give the same
// bytes: a wrong byte order, colour order or pass order would not. The grid is black and white at
// every depth, so it serves the 16-bit cases; the colour pattern tells the colours of the passes
// apart (its gray levels differ between 8 and 16 bits, so it is compared at 8 bits only).
TEST_F(ScannerTest, SixteenBitAndThreePassFramesMatchTheOnePassEightBitScan) {
    const std::string grid = "test-picture \"Grid\"\n";
    struct Case {
        const char* name;
        std::string reference;
        std::string conf;
    };
    const std::vector<Case> cases = {
        {"gray 16 bit", grid, grid + "depth 16\n"},
        {"gray 16 bit swapped", grid, grid + "depth 16\ninvert-endianess true\n"},
        {"colour 16 bit", grid + "mode Color\n", grid + "mode Color\ndepth 16\n"},
        {"colour 16 bit swapped", grid + "mode Color\n",
         grid + "mode Color\ndepth 16\ninvert-endianess true\n"},
        {"three-pass", "mode Color\n", "mode Color\nthree-pass true\n"},
        {"three-pass BGR", "mode Color\n", "mode Color\nthree-pass true\nthree-pass-order BGR\n"},
        {"three-pass 16 bit", grid + "mode Color\n", grid + "mode Color\nthree-pass true\ndepth 16\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseSaneTestBackend(c.reference);
        ASSERT_TRUE(Scan().Ok());
        TDibGraphic reference;
        reference.TakeImageFrom(picture);
        UseSaneTestBackend(c.conf);
        auto result = Scan();
        ASSERT_TRUE(result.Ok()) << result.detail;
        ASSERT_EQ(picture.ImageFormat(), reference.ImageFormat());
        ASSERT_EQ(picture.ImageSize(), reference.ImageSize());
        EXPECT_EQ(0, std::memcmp(picture.Pixels(), reference.Pixels(), reference.ImageSize()));
    }
    // The colour pattern really has colour in it, or the pass comparison above would prove little.
    UseSaneTestBackend("mode Color\n");
    ASSERT_TRUE(Scan().Ok());
    bool colourful = false;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            TColor c = picture.ReadPixel(x, y);
            colourful |= (c & 0xFF) != ((c >> 16) & 0xFF);
        }
    EXPECT_TRUE(colourful);
}

TEST_F(ScannerTest, LineArtIsBlackAndWhiteWithSetBitsBlack) {
    UseSaneTestBackend("depth 1\ntest-picture \"Solid black\"\n");
    ASSERT_TRUE(Scan().Ok());
    ASSERT_EQ(picture.ImageFormat(), ifBlackWhite);
    EXPECT_EQ(picture.Width(), 200);
    EXPECT_EQ(picture.ReadPixel(0, 0), 0x000000u);
    EXPECT_EQ(picture.ReadPixel(199, 97), 0x000000u);
    UseSaneTestBackend("depth 1\ntest-picture \"Solid white\"\n");
    ASSERT_TRUE(Scan().Ok());
    EXPECT_EQ(picture.ReadPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(picture.ReadPixel(199, 97), 0xFFFFFFu);
}

TEST_F(ScannerTest, ChosenValuesAreRememberedForTheNextScan) {
    UseSaneTestBackend("number_of_devices 2\n");
    keepRemembered = true;
    ASSERT_TRUE(Scan({"test:1", {{"mode", "Color"}, {"resolution", "50"}}}).Ok());
    TIniFile ini = settings.LoadFile();
    EXPECT_EQ(ini.ReadString("TScanner", "Device", ""), "test:1");
    EXPECT_EQ(ini.ReadString("TScanner", "mode", ""), "Color");
    EXPECT_EQ(ini.ReadString("TScanner", "resolution", ""), "50");
    EXPECT_EQ(ini.ReadString("TScanner", "br-x", ""), "51");

    std::string device;
    control.dialog = [&](TScanSession& session) {
        device = session.Device().name;
        session.Scan(control);
    };
    ASSERT_TRUE(Scan().Ok());
    EXPECT_EQ(device, "test:1");
    EXPECT_EQ(picture.ImageFormat(), ifRgb24);
    EXPECT_EQ(picture.Width(), 100);
}

TEST_F(ScannerTest, BadDevicesAndValuesFailWithTheirMessage) {
    UseSaneTestBackend();
    auto unknown = Scan({"test:7", {}});
    EXPECT_EQ(unknown.code, TScanCode::UnknownDevice);
    EXPECT_EQ(ScanMessage(unknown), "Der Scanner \"test:7\" wurde nicht gefunden.");

    auto badMode = Scan({"", {{"mode", "Sepia"}}});
    EXPECT_EQ(badMode.code, TScanCode::InvalidOption);
    EXPECT_NE(badMode.detail.find("mode"), std::string::npos);
    EXPECT_EQ(stateAfter, ssClosed);
    auto noOption = Scan({"", {{"colour", "1"}}});
    EXPECT_EQ(noOption.code, TScanCode::InvalidOption);
    auto badNumber = Scan({"", {{"resolution", "hoch"}}});
    EXPECT_EQ(badNumber.code, TScanCode::InvalidOption);

    UseSaneTestBackend("read-status-code \"SANE_STATUS_JAMMED\"\n");
    auto jammed = Scan();
    EXPECT_EQ(jammed.code, TScanCode::Jammed);
    EXPECT_EQ(ScanMessage(jammed), "Im Vorlageneinzug des Scanners ist das Papier gestaut.");
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_EQ(stateAfter, ssClosed);
    UseSaneTestBackend("read-status-code \"SANE_STATUS_NO_DOCS\"\n");
    EXPECT_EQ(Scan().code, TScanCode::NoDocuments);
}

TEST_F(ScannerTest, PreviewCoversTheWholeAreaAtLowResolutionAndRestoresTheOptions) {
    UseSaneTestBackend();
    TDibGraphic preview;
    control.dialog = [&](TScanSession& session) {
        EXPECT_EQ(session.Preview(preview, control), TScanStep::Done);
        EXPECT_EQ(session.Option("resolution")->value, "100");
        EXPECT_EQ(session.Option("br-x")->value, "51");
        session.Scan(control);
    };
    ASSERT_TRUE(Scan().Ok());
    // The test device's area is 200 x 200 mm: at 30 dpi 236 pixels a side.
    EXPECT_NEAR(preview.Width(), 236, 1);
    EXPECT_NEAR(preview.Height(), 236, 1);
    EXPECT_EQ(picture.Width(), 200);
    EXPECT_EQ(pages, 1);
}

} // namespace
