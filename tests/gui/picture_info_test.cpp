// "Bildinformationen" with the picture and "Zurück"/"Weiter", and the folder the import dialogs
// open in.
#include "album_library/ui/import_actions.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_frame.h"
#include "album_library/ui/thumb_grid.h"
#include "app/main_window.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::testing::ReadBytes;
using vistrel::testing::ScriptedPrompts;
using vistrel::testing::TempDir;
using vistrel::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

void WritePicture(const fs::path& file, int width, int height) {
    fs::create_directories(file.parent_path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    image.save(Q(file), "JPG", 90);
}

struct PictureInfoTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainWindow> window;

    void SetUp() override {
        fs::create_directories(dir / "styles" / "Klassisch");
        for (int i = 0; i < 3; ++i) {
            std::string name = "p" + std::to_string(i) + ".jpg";
            WritePicture(dir / "galleries" / "A" / "images" / name, 1600, 1200);
            WritePicture(dir / "galleries" / "A" / "thumbs" / name, 120, 90);
        }
        window = std::make_unique<TMainWindow>(dir.path(), &prompts);
        window->show();
        window->StartUp(false);
        ASSERT_TRUE(window->Grid()->waitForThumbnails(10000));
    }

    // Runs `script` inside the dialog's own event loop, as the user's typing would arrive.
    void WithDialog(std::function<void(TEditInfoForm&)> script) {
        TEditInfoForm* form = window->EditInfoForm();
        QTimer::singleShot(0, form, [form, script] {
            // Offscreen, a dialog is not made the active window by itself; its shortcuts need that.
            QApplication::setActiveWindow(form);
            script(*form);
        });
        QTest::mouseClick(window->Grid()->tile(0), Qt::LeftButton, {}, QPoint(64, 80));
        window->actEditInfoExecute();
    }
};

} // namespace

TEST_F(PictureInfoTest, StepsThroughTheAlbumSavingEachPictureAsItIsLeft) {
    std::vector<QSize> shown;
    bool previousAtFirst = true, nextAtLast = true;
    WithDialog([&](TEditInfoForm& form) {
        shown.push_back(form.imgPicture->pixmap().size());
        previousAtFirst = form.btnPrevious->isEnabled();
        form.Edit1->setText(QStringLiteral("Eins"));
        form.btnNext->click();
        form.Edit1->setText(QStringLiteral("Zwei"));
        form.Memo1->setPlainText(QStringLiteral("Zeile 1\nZeile 2"));
        QTest::keyClick(form.Memo1, Qt::Key_PageDown, Qt::ControlModifier);
        nextAtLast = form.btnNext->isEnabled();
        shown.push_back(form.imgPicture->pixmap().size());
        form.Edit1->setText(QStringLiteral("Drei"));
        QTest::keyClick(form.Edit1, Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(form.Edit1->text(), QStringLiteral("Zwei")) << "a picture left shows what was typed";
        form.Edit1->setText(QStringLiteral("Zwei!"));
        form.reject(); // "Abbrechen" drops only the picture on show
    });
    EXPECT_FALSE(previousAtFirst);
    EXPECT_FALSE(nextAtLast);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].height(), 260) << "the picture, scaled into the box";
    EXPECT_NEAR(shown[0].width(), 347, 1);
    const TPictureList& pictures = window->Pictures();
    EXPECT_EQ(pictures[0].Title(), "Eins");
    EXPECT_EQ(pictures[1].Title(), "Zwei");
    EXPECT_EQ(pictures[1].Text(), "Zeile 1\r\nZeile 2");
    EXPECT_EQ(pictures[2].Title(), "Drei");
    EXPECT_EQ(window->Grid()->tile(2)->topCaption(), QStringLiteral("Drei"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Autosave().Pending(); }, 5000));
    EXPECT_EQ(ReadBytes(dir / "galleries/A/info.txt"),
              "p0.jpg\tEins\t\r\np1.jpg\tZwei\tZeile 1\x01Zeile 2\r\np2.jpg\tDrei\t\r\n");

    // Screenshot of the dialog for the documentation, when asked for.
    if (QByteArray folder = qgetenv("VISTREL_SCREENSHOTS"); !folder.isEmpty()) {
        WithDialog([&](TEditInfoForm& form) {
            form.Memo1->setPlainText(QStringLiteral("Am Morgen auf dem See"));
            form.grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/bildinformationen.png"));
            form.reject();
        });
    }
}

TEST_F(PictureInfoTest, ImportDialogsOpenInThePicturesFolderThenInTheLastOne) {
    // The desktop's pictures folder, as xdg-user-dirs names it.
    fs::path pictures = dir / "Bilder";
    fs::path elsewhere = dir / "Urlaub";
    fs::create_directories(pictures);
    WritePicture(elsewhere / "x.jpg", 64, 48);
    WriteBytes(dir / "config" / "user-dirs.dirs", "XDG_PICTURES_DIR=\"" + pictures.string() + "\"\n");
    QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", Q(dir / "config").toLocal8Bit());
    TImportActions* import = window->ImportActions();
    EXPECT_EQ(import->StartFolder(), Q(pictures));

    QString openedIn;
    QTimer::singleShot(0, window.get(), [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        openedIn = dialog->directory().absolutePath();
        dialog->selectFile(Q(elsewhere / "x.jpg"));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it; it checks the file first
    });
    import->actImportExecute();
    EXPECT_EQ(openedIn, Q(pictures));
    EXPECT_EQ(window->Pictures().size(), 4u);
    EXPECT_EQ(import->StartFolder(), Q(elsewhere)) << "the folder last used comes first";
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
}
