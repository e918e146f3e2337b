#include "image_processing/ui/image_editor.h"

#include "album_library/import_job.h"
#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "image_processing/edit_zoom.h"
#include "image_processing/ui/gamma_form.h"
#include "image_processing/ui/image_scroll_box.h"
#include "settings/ini_file.h"
#include "settings/window_placement.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace vistrel {
namespace {

constexpr const char* kPlacementSection = "TImageEditor";

QString ToQString(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// The editor's two questions offer Yes and Cancel, not Yes and No.
class TEditorPrompts : public UserPrompts {
public:
    explicit TEditorPrompts(QWidget* parent) : parent_(parent) {}
    void ShowMessage(const std::string& text, MessageKind kind) override {
        QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                 : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Information;
        QMessageBox box(icon, parent_->windowTitle(), AnsiToDisplay(text), QMessageBox::Ok, parent_);
        box.exec();
    }
    bool AskYesNo(const std::string& question) override {
        return QMessageBox::question(parent_, parent_->windowTitle(), AnsiToDisplay(question),
                                     QMessageBox::Yes | QMessageBox::Cancel,
                                     QMessageBox::Cancel) == QMessageBox::Yes;
    }
    Answer AskYesNoCancel(const std::string& question) override {
        return AskYesNo(question) ? Answer::Yes : Answer::Cancel;
    }

private:
    QWidget* parent_;
};

TScreenInfo CurrentScreen() {
    TScreenInfo info;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        info = {screen->size().width(), screen->size().height(),
                static_cast<int>(screen->logicalDotsPerInch())};
    return info;
}

} // namespace

TImageEditor::TImageEditor(QWidget* parent, std::filesystem::path placementFile, UserPrompts* prompts)
    : QDialog(parent), placementFile_(std::move(placementFile)),
      ownPrompts_(prompts ? nullptr : std::make_unique<TEditorPrompts>(this)),
      prompts_(prompts ? *prompts : *ownPrompts_), session_(std::make_unique<TEditSession>(prompts_)) {
    setObjectName(QStringLiteral("TImageEditor"));
    setWindowTitle(QStringLiteral("Bild bearbeiten"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(658, 489);
    sbImage = new TImageScrollBox(this);
    sbImage->setObjectName(QStringLiteral("sbImage"));
    sbImage->SetCentered(true);
    sbImage->SetPicture(&session_->Picture());
    GammaForm = new TGammaForm(this);
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(1000);
    CreateActions();
    CreateMenus();
    CreateStatusBar();
    connect(Timer1, &QTimer::timeout, this, [this] { ProgressBar1->setValue(0); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MenuBar);
    layout->addWidget(ToolBar);
    layout->addWidget(sbImage, 1);
    layout->addWidget(StatusBar1);
    UpdateActions();
}

TImageEditor::~TImageEditor() = default;

QAction* TImageEditor::MakeAction(const char* name, const QString& caption, const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    addAction(action);
    actions_[QString::fromLatin1(name)] = action;
    return action;
}

void TImageEditor::CreateActions() {
    auto on = [this](QAction* action, auto handler) { connect(action, &QAction::triggered, this, handler); };
    on(MakeAction("actReload", QStringLiteral("&Erneut laden"), {}), [this] { actReloadExecute(); });
    on(MakeAction("actSaveAs", QStringLiteral("&Speichern unter..."), {}), [this] { actSaveAsExecute(); });
    QAction* exit = MakeAction("actExit", QStringLiteral("Änderungen übernehmen"), {});
    exit->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    on(exit, [this] { accept(); });
    QAction* cancel =
        MakeAction("actCancel", QStringLiteral("Änderungen verwerfen"), QKeySequence(Qt::Key_Escape));
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    on(cancel, [this] { reject(); });
    QAction* undo =
        MakeAction("actUndo", QStringLiteral("&Rückgängig"), QKeySequence(Qt::ALT | Qt::Key_Backspace));
    undo->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo"), style()->standardIcon(QStyle::SP_ArrowBack)));
    on(undo, [this] { actUndoExecute(); });

    on(MakeAction("actViewFit", QStringLiteral("&Originalgröße"),
                  QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk)),
       [this] { actViewFitExecute(); });
    on(MakeAction("actFullpage", QStringLiteral("&Ganze Seite"), {}), [this] { actFullpageExecute(); });
    on(MakeAction("actZoomIn", QStringLiteral("&Vergrößern"),
                  QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)),
       [this] { actZoomInExecute(); });
    on(MakeAction("actZoomOut", QStringLiteral("Ver&kleinern"),
                  QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)),
       [this] { actZoomOutExecute(); });
    // Today's habits beside the design's own keys: the first key of each list is the one the menu shows.
    auto alsoOn = [this](const char* name, std::initializer_list<QKeySequence> more) {
        QAction* action = actions_.at(QString::fromLatin1(name));
        QList<QKeySequence> keys = action->shortcuts();
        keys.append(more);
        action->setShortcuts(keys);
    };
    alsoOn("actUndo", {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    alsoOn("actZoomIn", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    alsoOn("actZoomOut", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    actions_.at(QStringLiteral("actFullpage"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    for (auto [name, caption, percent] : {std::tuple{"actView200", "&200 %", 200},
                                          {"actView100", "&100 %", 100},
                                          {"actView50", "&50 %", 50},
                                          {"actView25", "25 %", 25}}) {
        int p = percent;
        on(MakeAction(name, QString::fromLatin1(caption), {}), [this, p] { SetZoom(p); });
    }

    struct Change {
        const char* name;
        const char* caption; // UTF-8
        QKeySequence shortcut;
        TEditAction action;
    };
    const Change changes[] = {
        {"actRotateLeft", "&Rechts 90°", QKeySequence(Qt::CTRL | Qt::Key_R), TEditAction::actRotateLeft},
        {"actRotateRight", "&Links 90°", QKeySequence(Qt::CTRL | Qt::Key_L), TEditAction::actRotateRight},
        {"actMirror", "&Horizontal spiegeln", {}, TEditAction::actMirror},
        {"actFlip", "&Vertikal spiegeln", {}, TEditAction::actFlip},
        {"actBrighter", "&Heller", {}, TEditAction::actBrighter},
        {"actDarker", "&Dunkler", {}, TEditAction::actDarker},
        {"actContrastIncrease", "&Kontrast erhöhen", {}, TEditAction::actContrastIncrease},
        {"actContrastDecrease", "Kontrast &verringern", {}, TEditAction::actContrastDecrease},
        {"actQuick", "&Brillianz", {}, TEditAction::actQuick},
        {"actSharpen", "&Schärfen", {}, TEditAction::actSharpen},
        {"actSoften", "&Weichzeichnen", {}, TEditAction::actSoften},
        {"actBlackWhite", "S&chwarzweißbild", {}, TEditAction::actBlackWhite},
    };
    for (const Change& change : changes) {
        TEditAction action = change.action;
        on(MakeAction(change.name, QString::fromUtf8(change.caption), change.shortcut),
           [this, action] { ApplyChange(action); });
    }
    on(MakeAction("actGamma", QStringLiteral("&Gamma Korrektur"), QKeySequence(Qt::CTRL | Qt::Key_G)),
       [this] { actGammaExecute(); });

    QAction* contents = MakeAction("actContents", QStringLiteral("&Inhalt"), {});
    contents->setIcon(QIcon::fromTheme(QStringLiteral("help-contents"),
                                       style()->standardIcon(QStyle::SP_MessageBoxQuestion)));
    contents->setToolTip(QStringLiteral("Hilfe"));
    on(contents, [this] {
        if (OnHelp) OnHelp(kHelpContext);
    });
    on(MakeAction("actAbout", QStringLiteral("&Über"), {}), [this] {
        if (OnAbout) OnAbout();
    });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, contents, &QAction::trigger);
}

void TImageEditor::CreateMenus() {
    MenuBar = new QMenuBar(this);
    auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (std::string_view(name) == "-")
                menu->addSeparator();
            else
                menu->addAction(actions_.at(QString::fromLatin1(name)));
        }
    };
    add(MenuBar->addMenu(QStringLiteral("&Datei")), {"actReload", "actSaveAs", "-", "actExit", "actCancel"});
    add(MenuBar->addMenu(QStringLiteral("&Bearbeiten")), {"actUndo"});
    QMenu* view = MenuBar->addMenu(QStringLiteral("&Ansicht"));
    add(view, {"actViewFit", "actFullpage", "-", "actZoomIn", "actZoomOut", "-"});
    add(view->addMenu(QStringLiteral("&Zoom")), {"actView200", "actView100", "actView50", "actView25"});
    add(MenuBar->addMenu(QStringLiteral("D&rehen")),
        {"actRotateLeft", "actRotateRight", "-", "actMirror", "actFlip"});
    add(MenuBar->addMenu(QStringLiteral("&Filter")),
        {"actBrighter", "actDarker", "-", "actContrastIncrease", "actContrastDecrease", "-", "actGamma", "-",
         "actQuick", "actSharpen", "actSoften", "-", "actBlackWhite"});
    add(MenuBar->addMenu(QStringLiteral("&Hilfe")), {"actContents", "-", "actAbout"});

    ToolBar = new QToolBar(this);
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar->addAction(actions_.at(QStringLiteral("actExit")));
    ToolBar->addAction(actions_.at(QStringLiteral("actCancel")));
    ToolBar->addSeparator();
    ToolBar->addAction(actions_.at(QStringLiteral("actUndo")));
    ToolBar->addSeparator();
    ToolBar->addAction(actions_.at(QStringLiteral("actContents")));
}

void TImageEditor::CreateStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(true);
    const int widths[5] = {200, 160, 50, 50, 50};
    for (int i = 0; i < 5; ++i) {
        Panels[i] = new QLabel(StatusBar1);
        Panels[i]->setFixedWidth(widths[i]);
        Panels[i]->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(Panels[i]);
    }
    ProgressBar1 = new QProgressBar(StatusBar1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
}

TImageProgressEvent TImageEditor::ProgressHandler() {
    return [this](uint8_t percent) {
        ProgressBar1->setValue(percent);
        ProgressBar1->repaint();
    };
}

void TImageEditor::UpdateActions() {
    actions_.at(QStringLiteral("actUndo"))->setEnabled(session_->CanUndo());
}

void TImageEditor::Changed() {
    sbImage->Redraw();
    Timer1->start();
    UpdateActions();
}

void TImageEditor::ShowError(const QString& what, const std::exception& error,
                             const std::filesystem::path& file) {
    std::string text = QStringToAnsi(what);
    if (!file.empty())
        text += " " + ImportProblemMessage(ClassifyImportFailure(error, file));
    else if (dynamic_cast<const EFileWriteError*>(&error))
        text += " " + ImportProblemMessage(TImportProblem::WriteFailed);
    prompts_.ShowMessage(text + "\r\nDetails: " + Utf8ToAnsi(error.what()), MessageKind::Error);
}

void TImageEditor::ApplyChange(TEditAction action) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        session_->Apply(action, ProgressHandler());
        QApplication::restoreOverrideCursor();
        Changed();
    } catch (const std::exception& error) {
        QApplication::restoreOverrideCursor();
        UpdateActions();
        sbImage->Redraw();
        ShowError(QStringLiteral("Das Bild konnte nicht bearbeitet werden."), error);
    }
}

void TImageEditor::actGammaExecute() {
    if (session_->Picture().IsEmpty()) return;
    GammaForm->SetSourcePicture(&session_->Picture());
    if (GammaForm->exec() == QDialog::Accepted) {
        try {
            session_->AcceptGammaPreview(GammaForm->Preview(), GammaForm->GammaValue());
            Changed();
        } catch (const std::exception& error) {
            ShowError(QStringLiteral("Das Bild konnte nicht bearbeitet werden."), error);
        }
    }
    GammaForm->SetSourcePicture(nullptr); // the preview's memory is not kept between uses
}

void TImageEditor::actUndoExecute() {
    session_->Undo();
    sbImage->Redraw();
    UpdateActions();
}

void TImageEditor::actReloadExecute() {
    try {
        if (!session_->Reload(ProgressHandler())) return;
    } catch (const std::exception& error) {
        ShowError(QStringLiteral("Das Bild konnte nicht gelesen werden."), error, session_->PicturePath());
    }
    sbImage->Redraw();
    UpdateActions();
}

void TImageEditor::actSaveAsExecute() {
    QString folder = ToQString(session_->PicturePath().parent_path());
    QString name;
    if (ChooseSaveName) {
        name = ChooseSaveName(folder);
    } else {
        QFileDialog dialog(this, QStringLiteral("Speichern unter"), folder,
                           QStringLiteral("JPEG-Dateien (*.jpg);;Alle Dateien (*.*)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("jpg"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().first();
    }
    if (name.isEmpty()) return;
    try {
        session_->SaveAs(std::filesystem::path(name.toStdString()));
    } catch (const std::exception& error) {
        ShowError(QStringLiteral("Das Bild konnte nicht gespeichert werden."), error);
    }
}

void TImageEditor::SetZoom(int percent) {
    sbImage->SetZoomPercent(float(percent));
    Panels[2]->setText(QString::number(percent));
}

void TImageEditor::actViewFitExecute() {
    sbImage->SetZoomPercent(100.0f);
    sbImage->SetZoomMode(zmOriginalSize);
    Panels[2]->setText(QStringLiteral("100"));
}

void TImageEditor::actFullpageExecute() {
    sbImage->SetZoomMode(zmFullPage);
    Panels[2]->setText(QStringLiteral("Seite"));
}

void TImageEditor::actZoomInExecute() {
    SetZoom(ZoomInPercent(sbImage->ZoomPercent()));
}

void TImageEditor::actZoomOutExecute() {
    SetZoom(ZoomOutPercent(sbImage->ZoomPercent()));
}

void TImageEditor::ClearPicture() {
    session_->ClearPicture();
    picturePath_.clear();
    sbImage->Redraw();
}

void TImageEditor::showEvent(QShowEvent* event) {
    RestorePlacement();
    QDialog::showEvent(event);
    sbImage->SetZoomPercent(100.0f);
    sbImage->SetZoomMode(zmOriginalSize);
    Panels[0]->clear();
    if (!picturePath_.empty()) {
        try {
            session_->LoadPicture(picturePath_, ProgressHandler());
        } catch (const std::exception& error) {
            sbImage->Redraw();
            ShowError(QStringLiteral("Das Bild %1 kann nicht gelesen werden.").arg(ToQString(picturePath_)),
                      error, picturePath_);
            // The picture is not edited: the window closes as after "Änderungen verwerfen".
            QMetaObject::invokeMethod(
                this, [this] { done(QDialog::Rejected); }, Qt::QueuedConnection);
            return;
        }
        Panels[0]->setText(QString::fromStdString(picturePath_.filename().string()));
    }
    sbImage->Redraw();
    UpdateActions();
    const TDibGraphic& picture = session_->Picture();
    ProgressBar1->setGeometry(210, 5, 142, 11);
    ProgressBar1->raise();
    ProgressBar1->setValue(0);
    Panels[2]->setText(QStringLiteral("100"));
    Panels[3]->setText(picture.IsEmpty() ? QString() : QString::number(picture.Width()));
    Panels[4]->setText(picture.IsEmpty() ? QString() : QString::number(picture.Height()));
}

void TImageEditor::reject() {
    if (!session_->MayClose(false)) return;
    QDialog::reject();
}

void TImageEditor::done(int result) {
    SavePlacement();
    session_->Closed();
    Timer1->stop();
    QDialog::done(result);
}

void TImageEditor::RestorePlacement() {
    TIniFile ini = TIniFile::Load(placementFile_);
    if (!SectionLoadAllowed(ini, kPlacementSection)) return;
    TLoadedPlacement loaded = ReadPlacement(ini, kPlacementSection, CurrentScreen());
    if (loaded.hasRect) {
        const TWindowRect& r = loaded.placement.normal;
        setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    if (loaded.show == TShowState::Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

// A placement that cannot be written costs the user nothing worth a message.
void TImageEditor::SavePlacement() {
    if (placementFile_.empty()) return;
    TWindowPlacement placement;
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.normal = {normal.left(), normal.top(), normal.right() + 1, normal.bottom() + 1};
    placement.show = isMaximized() ? TShowState::Maximized : TShowState::Normal;
    try {
        std::filesystem::create_directories(placementFile_.parent_path());
        TIniFile ini = TIniFile::Load(placementFile_);
        WritePlacement(ini, kPlacementSection, placement, CurrentScreen());
        ini.Save(placementFile_);
    } catch (const std::exception&) {
    }
}

} // namespace vistrel
