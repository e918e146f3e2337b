#include "image_processing/color_transforms.h"
#include "image_processing/jpeg_graphic.h"
#include "image_processing/ui/gamma_form.h"
#include "image_processing/ui/image_editor.h"
#include "image_processing/ui/image_scroll_box.h"
#include "support/test_support.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

void WriteJpeg(const fs::path& file, int width, int height) {
    TJpegGraphic jpeg;
    jpeg.NewImage(width, height, ifRgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            jpeg.WritePixel(x, y, TColor(x * 255 / width) << 16 | TColor(y * 255 / height) << 8 | 0x50);
    jpeg.WriteToFile(file);
}

template <typename Condition> bool RunUntil(Condition condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct ImageEditorTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TImageEditor> editor;
    fs::path picture = dir / "bild.jpg";

    void SetUp() override {
        WriteJpeg(picture, 400, 300);
        Open();
    }
    void Open() {
        editor = std::make_unique<TImageEditor>(nullptr, dir / "config" / "vistrel.INI", &prompts);
        editor->SetPicturePath(picture);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    }
    QString Panel(int i) const { return editor->Panels[i]->text(); }
    TDibGraphic& Picture() { return editor->CurrentPicture(); }
};

TEST_F(ImageEditorTest, ShowsThePictureWithItsNameZoomAndSize) {
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Bild bearbeiten"));
    EXPECT_EQ(editor->size(), QSize(658, 489));
    EXPECT_EQ(Panel(0), QStringLiteral("bild.jpg"));
    EXPECT_EQ(Panel(2), QStringLiteral("100"));
    EXPECT_EQ(Panel(3), QStringLiteral("400"));
    EXPECT_EQ(Panel(4), QStringLiteral("300"));
    EXPECT_EQ(editor->ProgressBar1->geometry(), QRect(210, 5, 142, 11));
    EXPECT_FALSE(editor->Action(QStringLiteral("actUndo"))->isEnabled());
    EXPECT_FALSE(editor->sbImage->VisiblePart().isNull());
}

TEST_F(ImageEditorTest, ShortCutsChangeUndoAndTheSizePanelsStay) {
    TColor topLeft = Picture().ReadPixel(0, 0);
    QTest::keyClick(editor.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(Picture().Width(), 300);
    EXPECT_EQ(Picture().ReadPixel(299, 0), topLeft);
    EXPECT_EQ(Panel(3), QStringLiteral("400")) << "width and height are filled only on showing";
    EXPECT_EQ(Panel(4), QStringLiteral("300"));
    EXPECT_EQ(editor->ProgressBar1->value(), 100);
    EXPECT_TRUE(RunUntil([&] { return editor->ProgressBar1->value() == 0; })) << "Timer1 clears the bar";

    QTest::keyClick(editor.get(), Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(editor.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(Picture().Width(), 300);
    QTest::keyClick(editor.get(), Qt::Key_Backspace, Qt::AltModifier);
    QTest::keyClick(editor.get(), Qt::Key_Backspace, Qt::AltModifier);
    QTest::keyClick(editor.get(), Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(Picture().Width(), 400);
    EXPECT_FALSE(editor->Action(QStringLiteral("actUndo"))->isEnabled());
    EXPECT_TRUE(editor->Session().Modified());
}

TEST_F(ImageEditorTest, EscapeAsksWhileModifiedEvenAfterUndo) {
    editor->Action(QStringLiteral("actMirror"))->trigger();
    editor->actUndoExecute();
    prompts.answers = {Answer::No, Answer::Yes};
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_TRUE(editor->isVisible());
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], "Alle \xC4nderungen verwerfen?");
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(editor->result(), QDialog::Rejected);
    EXPECT_FALSE(editor->Session().CanUndo()) << "closing empties the undo stack";
}

TEST_F(ImageEditorTest, KeypadZoomsInStepsAndFullPageShowsSeite) {
    QTest::keyClick(editor.get(), Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("125"));
    EXPECT_EQ(editor->sbImage->DisplaySize(), (TViewSize{500, 375}));
    QTest::keyClick(editor.get(), Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(editor.get(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("75"));
    QTest::keyClick(editor.get(), Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("100"));
    EXPECT_EQ(editor->sbImage->ZoomMode(), zmOriginalSize);

    editor->Action(QStringLiteral("actFullpage"))->trigger();
    EXPECT_EQ(Panel(2), QStringLiteral("Seite"));
    QSize client = editor->sbImage->maximumViewportSize();
    float expected =
        std::min(100.0f * float(client.width()) / 400.0f, 100.0f * float(client.height()) / 300.0f);
    EXPECT_FLOAT_EQ(editor->sbImage->ZoomPercent(), expected);
    // Centred: the space left beside the picture is split evenly.
    TViewSize display = editor->sbImage->DisplaySize();
    EXPECT_EQ(editor->sbImage->ImageOrigin().x(), (editor->sbImage->viewport()->width() - display.width) / 2);
}

TEST_F(ImageEditorTest, TodaysKeysUndoZoomAndFitToo) {
    QTest::keyClick(editor.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(Picture().Width(), 300);
    QTest::keyClick(editor.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Picture().Width(), 400);

    QTest::keyClick(editor.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("125"));
    QTest::keyClick(editor.get(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("150"));
    QTest::keyClick(editor.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("125"));
    QTest::keyClick(editor.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Panel(2), QStringLiteral("Seite"));
    // The design's own keys stay the ones the menus show.
    EXPECT_EQ(editor->Action(QStringLiteral("actUndo"))->shortcut(),
              QKeySequence(Qt::ALT | Qt::Key_Backspace));
}

TEST_F(ImageEditorTest, DraggingThePictureScrollsItWithTheHand) {
    editor->SetZoom(400);
    QWidget* view = editor->sbImage->viewport();
    ASSERT_GT(editor->sbImage->DisplaySize().width, view->width());
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeAllCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 120), view->mapToGlobal(QPointF(150, 120)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_EQ(editor->sbImage->ScrollPosition(), QPoint(50, 30));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(150, 120));
    EXPECT_NE(view->cursor().shape(), Qt::SizeAllCursor);
}

TEST_F(ImageEditorTest, ReloadAsksOnlyForAChangedPicture) {
    editor->actReloadExecute();
    EXPECT_TRUE(prompts.questions.empty());
    editor->ApplyChange(TEditAction::actBlackWhite);
    prompts.answers = {Answer::Yes};
    editor->actReloadExecute();
    EXPECT_EQ(prompts.questions, std::vector<std::string>{"Ignore all changes and revert to original?"});
    EXPECT_EQ(Picture().ImageFormat(), ifRgb24);
    EXPECT_FALSE(editor->Session().Modified());
}

TEST_F(ImageEditorTest, PlacementIsKeptInTheEditorsOwnFile) {
    editor->setGeometry(40, 50, 700, 520);
    editor->accept();
    ASSERT_TRUE(fs::exists(dir / "config" / "vistrel.INI"));
    std::string ini = vistrel::testing::ReadBytes(dir / "config" / "vistrel.INI");
    EXPECT_NE(ini.find("[TImageEditor]"), std::string::npos);
    Open();
    EXPECT_EQ(editor->size(), QSize(700, 520));
}

TEST_F(ImageEditorTest, MenusCarryEveryActionWithItsShortCut) {
    struct Row {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    };
    const Row rows[] = {
        {"actReload", "&Erneut laden", {}},
        {"actSaveAs", "&Speichern unter...", {}},
        {"actExit", "\u00c4nderungen \u00fcbernehmen", {}},
        {"actCancel", "\u00c4nderungen verwerfen", QKeySequence(Qt::Key_Escape)},
        {"actUndo", "&R\u00fcckg\u00e4ngig", QKeySequence(Qt::ALT | Qt::Key_Backspace)},
        {"actViewFit", "&Originalgr\u00f6\u00dfe", QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk)},
        {"actView25", "25 %", {}},
        {"actRotateLeft", "&Rechts 90\u00b0", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"actRotateRight", "&Links 90\u00b0", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {"actGamma", "&Gamma Korrektur", QKeySequence(Qt::CTRL | Qt::Key_G)},
        {"actBlackWhite", "S&chwarzwei\u00dfbild", {}},
        {"actAbout", "&\u00dcber", {}},
    };
    for (const Row& row : rows) {
        QAction* action = editor->Action(QString::fromLatin1(row.name));
        EXPECT_EQ(action->text(), QString::fromUtf8(row.caption)) << row.name;
        EXPECT_EQ(action->shortcut(), row.shortcut) << row.name;
    }
    QStringList menus;
    for (QAction* menu : editor->MenuBar->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Bearbeiten"),
                                  QStringLiteral("&Ansicht"), QStringLiteral("D&rehen"),
                                  QStringLiteral("&Filter"), QStringLiteral("&Hilfe")}));
    int help = -1;
    editor->OnHelp = [&help](int context) { help = context; };
    QTest::keyClick(editor.get(), Qt::Key_F1);
    EXPECT_EQ(help, 400);
}

TEST_F(ImageEditorTest, SaveAsWritesJpegUnderAnyName) {
    editor->ChooseSaveName = [this](const QString& folder) {
        EXPECT_EQ(folder, QString::fromStdString(dir.path().string()));
        return QString::fromStdString((dir / "kopie.png").string());
    };
    editor->actSaveAsExecute();
    EXPECT_EQ(vistrel::testing::ReadBytes(dir / "kopie.png").substr(0, 2), "\xFF\xD8");
}

struct GammaFormTest : ::testing::Test {
    TDibGraphic source;
    TGammaForm form{nullptr};

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        source.NewImage(64, 48, ifRgb24);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                source.WritePixel(x, y, TColor(x * 4) * 0x010101u);
        form.SetSourcePicture(&source);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    // The field's text as it stands when the last key is released.
    void Enter(const QString& text) {
        form.Edit1->setText(text);
        QTest::keyRelease(form.Edit1, Qt::Key_5);
    }
};

TEST_F(GammaFormTest, StartsAtOneAndReadsTypedValuesInTheLocale) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Gamma Korrektur"));
    EXPECT_EQ(form.TrackBar1->value(), 10);
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("1,0"));

    Enter(QStringLiteral("7,5"));
    EXPECT_EQ(form.TrackBar1->value(), 10) << "outside 0,1 .. 7,0";
    Enter(QStringLiteral("2.5"));
    EXPECT_EQ(form.TrackBar1->value(), 10) << "not a number in German";
    form.Edit1->clear();
    QTest::keyClicks(form.Edit1, QStringLiteral("2,5"));
    EXPECT_EQ(form.TrackBar1->value(), 25);
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("2,5"));
    TGammaTransform gamma;
    gamma.SetGammaValue(2.5);
    TDibGraphic expected;
    gamma.ApplyOnDest(source, expected);
    EXPECT_EQ(form.Preview().ReadPixel(20, 10), expected.ReadPixel(20, 10));

    // Back and forth does not accumulate: the preview always starts from the editor's picture.
    form.TrackBar1->setValue(40);
    form.TrackBar1->setValue(25);
    EXPECT_EQ(form.Preview().ReadPixel(20, 10), expected.ReadPixel(20, 10));
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("2,5"));
}

} // namespace

// What went wrong in German, with the reason in plain words; the reader's English only on "Details:".
TEST_F(ImageEditorTest, AFileThatIsNoPictureIsExplainedInGerman) {
    editor.reset();
    vistrel::testing::WriteBytes(picture, "Einkaufsliste");
    editor = std::make_unique<TImageEditor>(nullptr, dir / "config" / "vistrel.INI", &prompts);
    editor->SetPicturePath(picture);
    editor->show();
    ASSERT_TRUE(RunUntil([&] { return !prompts.messages.empty(); }));
    const std::string& message = prompts.messages[0];
    EXPECT_NE(
        message.find(" kann nicht gelesen werden. Die Datei ist kein Bild in einem bekannten Format.\r\n"
                     "Details: "),
        std::string::npos)
        << message;
    size_t details = message.find("Details: ");
    EXPECT_EQ(message.find("JPEG"),
              details == std::string::npos ? std::string::npos : message.find("JPEG", details))
        << message;
}
