// The action table of the main window, its menus and tool bar, and the handlers behind the actions.
#include "album_library/picture_files.h"
#include "album_library/ui/import_actions.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_grid.h"
#include "app_shell/ui/about_box.h"
#include "app_shell/ui/album_tree.h"
#include "app_shell/ui/main_window.h"
#include "common/cp1252.h"
#include "scanner/ui/scan_actions.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

namespace vistrel {
namespace {

// Tool bar images by their number in the image list; the desktop theme's icons where it has them.
QIcon ActionIcon(QStyle* style, int image) {
    struct Entry { const char* theme; QStyle::StandardPixmap fallback; };
    static const Entry entries[] = {
        {"document-edit", QStyle::SP_FileDialogDetailedView}, {"document-import", QStyle::SP_DialogOpenButton},
        {"document-properties", QStyle::SP_FileDialogInfoView}, {"edit-delete", QStyle::SP_TrashIcon},
        {"preferences-system", QStyle::SP_ComputerIcon},      {"help-contents", QStyle::SP_MessageBoxQuestion},
        {"folder-new", QStyle::SP_FileDialogNewFolder},       {"network-server", QStyle::SP_DriveNetIcon},
        {"document-print-preview", QStyle::SP_DesktopIcon},   {"go-up", QStyle::SP_ArrowUp},
        {"go-down", QStyle::SP_ArrowDown},
    };
    if (image < 0 || image >= static_cast<int>(std::size(entries))) return {};
    return QIcon::fromTheme(QString::fromLatin1(entries[image].theme), style->standardIcon(entries[image].fallback));
}

} // namespace

QAction* TMainWindow::MakeAction(const QString& name, const QString& caption, const QKeySequence& shortcut,
                                 int image, void (TMainWindow::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    if (image >= 0) action->setIcon(ActionIcon(style(), image));
    if (handler) connect(action, &QAction::triggered, this, handler);
    actions_[name] = action;
    return action;
}

void TMainWindow::NotAvailable() {
    QMessageBox::information(this, windowTitle(),
                             QStringLiteral("Diese Funktion ist in dieser Version noch nicht verf\u00fcgbar."));
}

void TMainWindow::CreateActions() {
    using W = TMainWindow;
    MakeAction("actNewGallery", "&Neues Album...", QKeySequence("Ctrl+N"), 6, &W::actNewGalleryExecute);
    MakeAction("actRenameGallery", "Albuminfo &bearbeiten...", {}, -1, &W::actRenameGalleryExecute);
    MakeAction("actDeleteGallery", QStringLiteral("Album l\u00f6schen..."), QKeySequence("Ctrl+Del"), -1,
               &W::actDeleteGalleryExecute);
    MakeAction("actAlbumUp", "Album nach oben verschieben", {}, 9, &W::actAlbumUpExecute);
    MakeAction("actAlbumDown", "Album nach unten verschieben", {}, 10, &W::actAlbumDownExecute);
    MakeAction("actSelectStyle", QStringLiteral("Style ausw\u00e4hlen..."), QKeySequence("Ctrl+E"), -1,
               &W::actSelectStyleExecute);
    MakeAction("actPreview", "Vorschau", QKeySequence(Qt::Key_F9), 8, &W::actPreviewExecute);
    MakeAction("actPublish", QStringLiteral("Alben im Web ver\u00f6ffentlichen..."), QKeySequence(Qt::Key_F10), 7,
               &W::actPublishExecute);
    MakeAction("actCDROM", QStringLiteral("Alben f\u00fcr CDROM erstellen..."), {}, -1, &W::actCDROMExecute);
    MakeAction("actInvite", "Einladungen verschicken...", {}, -1, &W::NotAvailable);
    MakeAction("actClose", "Beenden", {}, -1, nullptr);
    connect(actions_["actClose"], &QAction::triggered, this, &QWidget::close);
    auto* scan = new TScanActions(this);
    MakeAction("actImportTwain", "Bild von TWAIN importieren...", {}, -1, nullptr);
    connect(actions_["actImportTwain"], &QAction::triggered, scan, &TScanActions::actImportTwainExecute);
    MakeAction("actTwainSource", "TWAIN Schnittstelle festlegen...", {}, -1, nullptr);
    connect(actions_["actTwainSource"], &QAction::triggered, scan, &TScanActions::actTwainSourceExecute);
    MakeAction("actCut", "Ausschneiden", QKeySequence("Ctrl+X"), -1, nullptr);
    connect(actions_["actCut"], &QAction::triggered, this, [this] { actCopyExecute(TClipboardMode::Cut); });
    MakeAction("actCopy", "Kopieren", QKeySequence("Ctrl+C"), -1, nullptr);
    connect(actions_["actCopy"], &QAction::triggered, this, [this] { actCopyExecute(TClipboardMode::Copy); });
    MakeAction("actPaste", QStringLiteral("Einf\u00fcgen"), QKeySequence("Ctrl+V"), -1, &W::actPasteExecute);
    QAction* remove = MakeAction("actDeleteImage", QStringLiteral("L\u00f6schen..."), QKeySequence(Qt::Key_Delete), 3,
                                 &W::actDeleteImageExecute);
    remove->setToolTip(QStringLiteral("Bild l\u00f6schen"));
    MakeAction("actMarkAll", "Alles &markieren", QKeySequence("Ctrl+A"), -1, &W::actMarkAllExecute);
    MakeAction("actSettings", "&Einstellungen...", {}, 4, &W::actSettingsExecute)->setToolTip("Einstellungen");
    MakeAction("actImageEdit", "Bild bearbeiten...", {}, 0, nullptr)->setToolTip("Bild bearbeiten");
    connect(actions_["actImageEdit"], &QAction::triggered, this, [this] {
        if (auto first = FirstSelectedPicture()) EditPicture(*first);
    });
    MakeAction("actEditInfo", "&Bildinfo bearbeiten...", QKeySequence("Ctrl+T"), 2, &W::actEditInfoExecute)
        ->setToolTip("Bildinfo bearbeiten");
    MakeAction("actRotateRight", QStringLiteral("Bild 90\u00b0 nach &rechts drehen"), QKeySequence("Ctrl+R"), -1, nullptr);
    connect(actions_["actRotateRight"], &QAction::triggered, this, [this] { actRotateExecute(90); });
    MakeAction("actRotateLeft", QStringLiteral("Bild 90\u00b0 nach links &drehen"), QKeySequence("Ctrl+L"), -1, nullptr);
    connect(actions_["actRotateLeft"], &QAction::triggered, this, [this] { actRotateExecute(-90); });
    MakeAction("actUseForGallery", "Bild als Vorschau f\u00fcr das Album &verwenden", {}, -1, &W::actUseForGalleryExecute);
    auto* import = new TImportActions(this);
    MakeAction("actImport", "Bild importieren...", QKeySequence("Ctrl+I"), 1, nullptr)->setToolTip("Bild importieren");
    connect(actions_["actImport"], &QAction::triggered, import, &TImportActions::actImportExecute);
    MakeAction("actImportDir", "Bildverzeichnis importieren...", QKeySequence("Ctrl+F"), -1, nullptr);
    connect(actions_["actImportDir"], &QAction::triggered, import, &TImportActions::actImportDirExecute);
    MakeAction("actHelpContents", "&Inhalt...", QKeySequence(Qt::Key_F1), 5, nullptr)->setToolTip("Hilfe");
    connect(actions_["actHelpContents"], &QAction::triggered, this, [this] { ShowHelp(0); });
    MakeAction("actHelpIndex", QStringLiteral("Schritt f\u00fcr Schritt..."), {}, -1, nullptr);
    connect(actions_["actHelpIndex"], &QAction::triggered, this, [this] { ShowHelp(100); });
    MakeAction("actVantroWeb", "Vantro im Internet...", {}, -1, nullptr);
    connect(actions_["actVantroWeb"], &QAction::triggered, this,
            [this] { ShowHelp(0); });
    MakeAction("Action3", "Support Forum...", {}, -1, nullptr);
    connect(actions_["Action3"], &QAction::triggered, this, [this] { ShowHelp(100); });
    MakeAction("actAbout", QStringLiteral("\u00dcber..."), {}, -1, nullptr);
    connect(actions_["actAbout"], &QAction::triggered, this, [this] {
        if (!aboutBox_->isVisible()) aboutBox_->exec();
    });
    for (auto& [name, action] : actions_) addAction(action);
}

void TMainWindow::CreateMenus() {
    auto add = [this](QMenu* menu, std::initializer_list<const char*> entries) {
        for (const char* name : entries) {
            if (std::string(name) == "-") menu->addSeparator();
            else menu->addAction(actions_.at(name));
        }
    };
    // Menu entries use their own captions where these differ from the action's.
    auto entry = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* proxy = menu->addAction(caption);
        QAction* action = actions_.at(name);
        proxy->setShortcut(action->shortcut());
        proxy->setShortcutContext(Qt::WidgetShortcut);
        proxy->setIcon(action->icon());
        proxy->setEnabled(action->isEnabled());
        connect(proxy, &QAction::triggered, action, &QAction::trigger);
        connect(action, &QAction::changed, proxy, [proxy, action] { proxy->setEnabled(action->isEnabled()); });
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    entry(file, "actSelectStyle", QStringLiteral("&Style ausw\u00e4hlen..."));
    file->addSeparator();
    entry(file, "actPreview", QStringLiteral("&Vorschau"));
    entry(file, "actPublish", QStringLiteral("&Alben im Web ver\u00f6ffentlichen..."));
    entry(file, "actCDROM", QStringLiteral("A&lben f\u00fcr CDROM erstellen..."));
    file->addSeparator();
    entry(file, "actInvite", QStringLiteral("&Einladungen verschicken..."));
    file->addSeparator();
    entry(file, "actClose", QStringLiteral("&Beenden"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    add(edit, {"actImportTwain"});
    entry(edit, "actTwainSource", QStringLiteral("&TWAIN Schnittstelle festlegen..."));
    edit->addSeparator();
    entry(edit, "actCut", QStringLiteral("&Ausschneiden"));
    entry(edit, "actCopy", QStringLiteral("&Kopieren"));
    entry(edit, "actPaste", QStringLiteral("E&inf\u00fcgen"));
    add(edit, {"actDeleteImage", "actMarkAll", "-", "actSettings"});

    QMenu* albums = menuBar()->addMenu(QStringLiteral("&Fotoalben"));
    add(albums, {"actNewGallery", "actRenameGallery"});
    entry(albums, "actDeleteGallery", QStringLiteral("&Album l\u00f6schen..."));
    albums->addSeparator();
    entry(albums, "actAlbumUp", QStringLiteral("A&lbum nach oben verschieben"));
    entry(albums, "actAlbumDown", QStringLiteral("Alb&um nach unten verschieben"));

    QMenu* pictures = menuBar()->addMenu(QStringLiteral("B&ilder"));
    entry(pictures, "actImageEdit", QStringLiteral("&Bild bearbeiten..."));
    entry(pictures, "actEditInfo", QStringLiteral("B&ildinfo bearbeiten"));
    pictures->addSeparator();
    add(pictures, {"actRotateRight", "actRotateLeft", "-", "actUseForGallery", "-"});
    entry(pictures, "actImport", QStringLiteral("Bild i&mportieren..."));
    entry(pictures, "actImportDir", QStringLiteral("Bildv&erzeichnis importieren..."));
    pictures->addSeparator();
    add(pictures, {"actDeleteImage"});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    add(help, {"actHelpContents"});
    entry(help, "actHelpIndex", QStringLiteral("&Schritt f\u00fcr Schritt..."));
    help->addSeparator();
    entry(help, "actVantroWeb", QStringLiteral("&Vantro im Internet..."));
    entry(help, "Action3", QStringLiteral("S&upport Forum..."));
    help->addSeparator();
    entry(help, "actAbout", QStringLiteral("\u00dc&ber..."));

    QToolBar* bar = addToolBar(QStringLiteral("Werkzeuge"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto iconOnly = [bar](QAction* action) {
        bar->addAction(action);
        if (auto* button = bar->widgetForAction(action)) button->setProperty("iconOnly", true);
        if (auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
            tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
    };
    iconOnly(actions_["actAlbumUp"]);
    iconOnly(actions_["actAlbumDown"]);
    bar->addSeparator();
    bar->addAction(actions_["actNewGallery"]);
    QAction* preview = bar->addAction(actions_["actPreview"]->icon(), QStringLiteral("&Vorschau"));
    connect(preview, &QAction::triggered, actions_["actPreview"], &QAction::trigger);
    bar->addAction(actions_["actPublish"]);
    bar->addSeparator();
    bar->addAction(actions_["actImport"]);
    bar->addAction(actions_["actImageEdit"]);
    bar->addAction(actions_["actEditInfo"]);
    iconOnly(actions_["actDeleteImage"]);
    bar->addSeparator();
    iconOnly(actions_["actSettings"]);
    bar->addSeparator();
    iconOnly(actions_["actHelpContents"]);

    gridMenu_ = new QMenu(this);
    add(gridMenu_, {"actImageEdit", "actEditInfo", "-", "actRotateRight", "actRotateLeft", "-", "actUseForGallery",
                    "-", "actCut", "actCopy", "actPaste", "actDeleteImage", "-", "actImport", "actImportDir", "-",
                    "actInvite"});
    treeMenu_ = new QMenu(this);
    add(treeMenu_, {"actNewGallery", "actRenameGallery", "actDeleteGallery", "-", "actAlbumUp", "actAlbumDown"});
}

void TMainWindow::UpdateActions() {
    if (!ready_) return;
    bool any = grid_->selection().FirstSelected().has_value();
    for (const char* name : {"actImageEdit", "actDeleteImage", "actEditInfo", "actCopy", "actCut", "actRotateLeft",
                             "actRotateRight", "actUseForGallery", "actInvite"})
        actions_.at(name)->setEnabled(any);
    actions_.at("actPaste")->setEnabled(clipboard_.CanPaste());
}

} // namespace vistrel
