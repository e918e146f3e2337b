#include "image_processing/color_transforms.h"
#include "image_processing/convolution_transform.h"
#include "image_processing/edit_session.h"
#include "image_processing/edit_zoom.h"
#include "image_processing/image_processing_texts.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/rotate_transform.h"
#include "image_processing/view_render.h"
#include "image_test_util.h"
#include "support/test_support.h"

#include <functional>

namespace vistrel {
namespace {

using testing::FillColor;
using testing::FillPattern;
using testing::SamePixels;
using testing::ScriptedPrompts;
using testing::TempDir;

struct EditSessionTest : ::testing::Test {
    ScriptedPrompts prompts;
    TEditSession session{prompts};
    TempDir dir;

    std::filesystem::path WriteJpegFile(const std::string& name, int width, int height) {
        TJpegGraphic jpeg;
        FillPattern(jpeg, width, height);
        jpeg.Quality = 90;
        std::filesystem::path path = dir / name;
        jpeg.WriteToFile(path);
        return path;
    }
};

// Each action must run exactly the transform of its row, with its properties; the two rotations
// cross their names ("&Rechts 90°" is actRotateLeft and turns clockwise).
struct ActionCase {
    const char* name;
    TEditAction action;
    std::function<void(TDibGraphic&)> expected;
};

void Rotated(TDibGraphic& g, double degrees) {
    TRotateTransform t;
    t.Degrees = degrees;
    t.Apply(g);
}
void Brightened(TDibGraphic& g, double amount) {
    TBrightnessTransform t;
    t.SetAmount(amount);
    t.Apply(g);
}
void Contrasted(TDibGraphic& g, bool stronger) {
    TContrastTransform t;
    t.Stronger = stronger;
    t.Apply(g);
}
template <typename T> void Plain(TDibGraphic& g) {
    T t;
    t.Apply(g);
}

void PrintTo(const ActionCase& c, std::ostream* os) {
    *os << c.name;
}

class EditActionTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(EditActionTest, RunsItsTransformAsOneUndoStep) {
    ScriptedPrompts prompts;
    TEditSession session(prompts);
    FillPattern(session.Picture(), 9, 7);
    TDibGraphic expected, original;
    expected.CopyFromGraphic(&session.Picture());
    original.CopyFromGraphic(&session.Picture());
    GetParam().expected(expected);

    session.Apply(GetParam().action);
    EXPECT_TRUE(SamePixels(session.Picture(), expected));
    EXPECT_EQ(session.Picture().ImageFormat(), expected.ImageFormat());
    EXPECT_TRUE(session.Modified());
    ASSERT_EQ(session.UndoCount(), 1u);
    session.Undo();
    EXPECT_TRUE(SamePixels(session.Picture(), original));
    EXPECT_TRUE(session.Modified()) << "undo keeps the modified flag";
}

INSTANTIATE_TEST_SUITE_P(
    Actions, EditActionTest,
    ::testing::Values(ActionCase{"RightNinetyIsClockwise", TEditAction::actRotateLeft,
                                 [](TDibGraphic& g) { Rotated(g, 90); }},
                      ActionCase{"LeftNinetyIsCounterClockwise", TEditAction::actRotateRight,
                                 [](TDibGraphic& g) { Rotated(g, -90); }},
                      ActionCase{"Mirror", TEditAction::actMirror, Plain<TFlipHorizontalTransform>},
                      ActionCase{"Flip", TEditAction::actFlip, Plain<TFlipVerticalTransform>},
                      ActionCase{"Brighter", TEditAction::actBrighter,
                                 [](TDibGraphic& g) { Brightened(g, 5); }},
                      ActionCase{"Darker", TEditAction::actDarker, [](TDibGraphic& g) { Brightened(g, -5); }},
                      ActionCase{"MoreContrast", TEditAction::actContrastIncrease,
                                 [](TDibGraphic& g) { Contrasted(g, true); }},
                      ActionCase{"LessContrast", TEditAction::actContrastDecrease,
                                 [](TDibGraphic& g) { Contrasted(g, false); }},
                      ActionCase{"BrillianceIsSharpenBrighterLessContrast", TEditAction::actQuick,
                                 [](TDibGraphic& g) {
                                     Plain<TSharpenTransform>(g);
                                     Brightened(g, 5);
                                     Contrasted(g, false);
                                 }},
                      ActionCase{"Sharpen", TEditAction::actSharpen, Plain<TSharpenTransform>},
                      ActionCase{"Soften", TEditAction::actSoften, Plain<TSmoothTransform>},
                      ActionCase{"BlackWhite", TEditAction::actBlackWhite, Plain<TConvertToGrayTransform>}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditSessionTest, SeventeenChangesKeepSixteenUndoSteps) {
    FillPattern(session.Picture(), 8, 6);
    TDibGraphic afterFirst;
    session.Apply(TEditAction::actBrighter);
    afterFirst.CopyFromGraphic(&session.Picture());
    for (int i = 0; i < 16; ++i)
        session.Apply(TEditAction::actMirror);
    EXPECT_EQ(session.UndoCount(), kMaxUndoSteps);
    for (int i = 0; i < 16; ++i)
        session.Undo();
    EXPECT_FALSE(session.CanUndo());
    // The first change can no longer be undone: the oldest snapshot left is the picture after it.
    EXPECT_TRUE(SamePixels(session.Picture(), afterFirst));
    session.Undo();
    EXPECT_TRUE(SamePixels(session.Picture(), afterFirst));
}

TEST_F(EditSessionTest, UndoingEverythingStillAsksBeforeDiscarding) {
    FillPattern(session.Picture(), 8, 6);
    session.Apply(TEditAction::actFlip);
    session.Undo();
    EXPECT_TRUE(session.MayClose(true)) << "closing with OK never asks";
    EXPECT_TRUE(prompts.questions.empty());
    prompts.answers = {Answer::No};
    EXPECT_FALSE(session.MayClose(false));
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], "Alle \xC4nderungen verwerfen?");
}

TEST_F(EditSessionTest, UnmodifiedPictureClosesAndReloadsWithoutAsking) {
    session.LoadPicture(WriteJpegFile("a.jpg", 10, 8));
    session.Picture().WritePixel(0, 0, 0x123456); // not a change the editor knows of
    EXPECT_FALSE(session.Reload());
    EXPECT_EQ(session.Picture().ReadPixel(0, 0), 0x123456u) << "\"&Erneut laden\" did something";
    EXPECT_TRUE(session.MayClose(false));
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(EditSessionTest, ReloadOfAChangedPictureAsksAndRevertsOnYes) {
    std::filesystem::path path = WriteJpegFile("a.jpg", 10, 8);
    session.LoadPicture(path);
    TDibGraphic original;
    original.CopyFromGraphic(&session.Picture());
    session.Apply(TEditAction::actRotateLeft);

    prompts.answers = {Answer::No};
    EXPECT_FALSE(session.Reload());
    EXPECT_EQ(session.Picture().Width(), 8);
    prompts.answers = {Answer::Yes};
    EXPECT_TRUE(session.Reload());
    EXPECT_EQ(prompts.questions, (std::vector<std::string>(2, "Ignore all changes and revert to original?")));
    EXPECT_TRUE(SamePixels(session.Picture(), original));
    EXPECT_FALSE(session.Modified());
    EXPECT_FALSE(session.CanUndo());
    EXPECT_EQ(session.PicturePath(), path);
}

TEST_F(EditSessionTest, RightNinetyMovesTheTopLeftCornerToTheTopRight) {
    FillPattern(session.Picture(), 400, 300);
    TColor topLeft = session.Picture().ReadPixel(0, 0);
    session.Apply(TEditAction::actRotateLeft);
    EXPECT_EQ(session.Picture().Width(), 300);
    EXPECT_EQ(session.Picture().Height(), 400);
    EXPECT_EQ(session.Picture().ReadPixel(299, 0), topLeft);
}

TEST_F(EditSessionTest, BlackWhiteGivesGraysAndALaterSharpenTrueColour) {
    FillPattern(session.Picture(), 12, 9);
    session.Apply(TEditAction::actBlackWhite);
    EXPECT_EQ(session.Picture().ImageFormat(), ifGray256);
    EXPECT_EQ(session.Picture().Palette().size(), 256u);
    session.Apply(TEditAction::actSharpen);
    EXPECT_EQ(session.Picture().ImageFormat(), ifRgb24);
}

TEST_F(EditSessionTest, ASnapshotThatCannotBeMadeShowsTheMessageAndTheChangeStillRuns) {
    FillPattern(session.Picture(), 100, 100); // 30,000 bytes of true colour
    uint64_t limit = PixelStoreLimit();
    SetPixelStoreLimit(20000); // the 10,000-byte gray result fits, a true-colour copy does not
    session.Apply(TEditAction::actBlackWhite);
    SetPixelStoreLimit(limit);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{Text(image_processing_texts::kUndoMemory)});
    EXPECT_EQ(session.Picture().ImageFormat(), ifGray256);
    EXPECT_FALSE(session.CanUndo());
    EXPECT_TRUE(session.Modified());
}

TEST_F(EditSessionTest, AFailingTransformLeavesThePictureAndKeepsTheSnapshot) {
    FillPattern(session.Picture(), 100, 100);
    TDibGraphic before;
    before.CopyFromGraphic(&session.Picture());
    auto failing = [](uint8_t percent) {
        if (percent == 50) throw EImageError("stop");
    };
    EXPECT_THROW(session.Apply(TEditAction::actSoften, failing), EImageError);
    EXPECT_TRUE(SamePixels(session.Picture(), before));
    EXPECT_EQ(session.UndoCount(), 1u);
}

TEST_F(EditSessionTest, SaveAsWritesJpegDataWhateverTheExtension) {
    std::filesystem::path path = WriteJpegFile("a.jpg", 10, 8);
    session.LoadPicture(path);
    session.Apply(TEditAction::actBrighter);
    session.SaveAs(dir / "bild.png");
    std::string bytes = testing::ReadBytes(dir / "bild.png");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(session.PicturePath(), path);
    EXPECT_TRUE(session.Modified());
    TJpegGraphic back;
    back.ReadFromFile(dir / "bild.png");
    EXPECT_EQ(back.Width(), 10);
}

TEST_F(EditSessionTest, GammaIsComputedFromThePictureAndUndoable) {
    FillPattern(session.Picture(), 9, 7);
    TDibGraphic original, expected;
    original.CopyFromGraphic(&session.Picture());
    TGammaTransform gamma;
    gamma.SetGammaValue(2.5);
    gamma.ApplyOnDest(original, expected);
    session.ApplyGamma(2.5);
    EXPECT_TRUE(SamePixels(session.Picture(), expected));
    session.Undo();
    EXPECT_TRUE(SamePixels(session.Picture(), original));
}

TEST(GammaText, ReadsOnlyNumbersInsideTheTrackBarRange) {
    EXPECT_EQ(GammaTrackPosition("2,5", ','), 25);
    EXPECT_EQ(GammaTrackPosition(" 0,1 ", ','), 1);
    EXPECT_EQ(GammaTrackPosition("7,0", ','), 70);
    EXPECT_EQ(GammaTrackPosition("3", ','), 30);
    EXPECT_EQ(GammaTrackPosition("1.25", '.'), 12) << "Round half to even";
    EXPECT_EQ(GammaTrackPosition("7,5", ','), std::nullopt);
    EXPECT_EQ(GammaTrackPosition("0,05", ','), std::nullopt);
    EXPECT_EQ(GammaTrackPosition("2.5", ','), std::nullopt) << "the locale's separator only";
    EXPECT_EQ(GammaTrackPosition("", ','), std::nullopt);
    EXPECT_EQ(GammaTrackPosition(",", ','), std::nullopt);
    EXPECT_EQ(GammaTrackPosition("2,5x", ','), std::nullopt);
    EXPECT_EQ(GammaTrackPosition("-1", ','), std::nullopt);
}

TEST(EditZoom, StepsFromTheRoundedPercentWithinTwentyFiveToFourHundred) {
    EXPECT_EQ(ZoomOutPercent(40), 25);
    EXPECT_EQ(ZoomOutPercent(30), 25);
    EXPECT_EQ(ZoomOutPercent(100), 75);
    EXPECT_EQ(ZoomInPercent(390), 400);
    EXPECT_EQ(ZoomInPercent(400), 400);
    EXPECT_EQ(ZoomInPercent(62.5f), 87) << "62.5 rounds half to even, to 62";

    TViewZoom zoom;
    zoom.SetMode(zmFullPage);
    EXPECT_TRUE(zoom.Update({376, 500}, {1000, 1000}));
    EXPECT_FLOAT_EQ(zoom.Percent(), 37.6f);
    EXPECT_TRUE(zoom.SetPercent(float(ZoomInPercent(zoom.Percent())), false));
    EXPECT_EQ(zoom.Mode(), zmPercent);
    EXPECT_FLOAT_EQ(zoom.Percent(), 63.0f);
}

TEST(EditZoom, SettingAPercentIsIgnoredWhenUnchangedEmptyOrTooSmall) {
    TViewZoom zoom;
    EXPECT_TRUE(zoom.SetPercent(100, false)) << "original size is not yet zmPercent";
    EXPECT_FALSE(zoom.SetPercent(100, false));
    EXPECT_FALSE(zoom.SetPercent(50, true));
    EXPECT_FALSE(zoom.SetPercent(0.1f, false));
    EXPECT_TRUE(zoom.SetPercent(0.2f, false));
    EXPECT_FALSE(zoom.Update({500, 500}, {100, 100})) << "zmPercent keeps its value";
    EXPECT_FLOAT_EQ(zoom.Percent(), 0.2f);
}

TEST(EditZoom, ModesFitTheViewAndFitToPageNeverEnlarges) {
    TViewZoom zoom;
    zoom.SetMode(zmFitToPage);
    zoom.Update({800, 600}, {200, 100});
    EXPECT_FLOAT_EQ(zoom.Percent(), 100.0f);
    zoom.SetMode(zmFullPage);
    zoom.Update({800, 600}, {200, 100});
    EXPECT_FLOAT_EQ(zoom.Percent(), 400.0f);
    zoom.SetMode(zmFitWidth);
    zoom.Update({800, 600}, {1600, 100});
    EXPECT_FLOAT_EQ(zoom.Percent(), 50.0f);
    zoom.SetMode(zmFitHeight);
    zoom.Update({800, 600}, {1600, 1200});
    EXPECT_FLOAT_EQ(zoom.Percent(), 50.0f);
    zoom.SetMode(zmOriginalSize);
    EXPECT_TRUE(zoom.Update({800, 600}, {1600, 1200}));
    EXPECT_FALSE(zoom.Update({800, 600}, {1600, 1200}));
    EXPECT_TRUE(ModeHidesScrollBars(zmFullPage));
    EXPECT_FALSE(ModeHidesScrollBars(zmPercent));
}

TEST(EditZoom, DisplaySizeTruncatesAndCentringHalvesTheRest) {
    EXPECT_EQ(DisplaySize({400, 300}, 37.6f), (TViewSize{150, 112}));
    EXPECT_EQ(DisplaySize({3, 1}, 10.0f), (TViewSize{1, 1}));
    EXPECT_EQ(CentredOffset(651, 300), 175);
    EXPECT_EQ(CentredOffset(300, 300), 0);
    EXPECT_EQ(CentredOffset(300, 900), 0);
}

TEST(ViewRender, AveragesWhenReducingAndRepeatsWhenEnlarging) {
    TDibGraphic picture;
    FillColor(picture, 2, 2, 0);
    picture.WritePixel(0, 0, 0xFF0000);
    picture.WritePixel(1, 1, 0x00FF00);
    picture.WritePixel(1, 0, 0x0000FF);
    uint32_t one = 0;
    RenderDisplayPart(picture, {1, 1}, {0, 0, 1, 1}, TStretchMode::Average, &one, 1);
    EXPECT_EQ(one, 0xFF3F3F3Fu);
    RenderDisplayPart(picture, {1, 1}, {0, 0, 1, 1}, TStretchMode::Pick, &one, 1);
    EXPECT_EQ(one, 0xFFFF0000u);

    // At 200 % the part from display (1, 1), 3 x 2 pixels, shows source pixels repeated.
    uint32_t part[6] = {};
    RenderDisplayPart(picture, {4, 4}, {1, 1, 3, 2}, TStretchMode::Average, part, 3);
    EXPECT_EQ(part[0], 0xFFFF0000u);
    EXPECT_EQ(part[1], 0xFF0000FFu);
    EXPECT_EQ(part[2], 0xFF0000FFu);
    EXPECT_EQ(part[3], 0xFF000000u);
    EXPECT_EQ(part[4], 0xFF00FF00u);
}

TEST(ViewRender, AntiAliasedBlackAndWhiteBecomesTheShareOfWhite) {
    TDibGraphic picture;
    FillColor(picture, 4, 4, 0xFFFFFF, ifBlackWhite);
    picture.WritePixel(0, 0, 0);
    EXPECT_EQ(StretchModeFor(picture, true), TStretchMode::Average);
    EXPECT_EQ(StretchModeFor(picture, false), TStretchMode::Pick);
    uint32_t out = 0;
    RenderDisplayPart(picture, {1, 1}, {0, 0, 1, 1}, TStretchMode::Average, &out, 1);
    EXPECT_EQ(out, 0xFFEFEFEFu); // 15 of 16 white: 255 * 15 / 16 = 239
}

} // namespace
} // namespace vistrel
