// The action table of the main window, its menus and tool bar, and the handlers behind the actions.
#include "album_library/picture_files.h"
#include "album_library/ui/album_tree.h"
#include "album_library/ui/import_actions.h"
#include "album_library/ui/info_dialogs.h"
#include "album_library/ui/thumb_grid.h"
#include "app/about_box.h"
#include "app/main_window.h"
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
    struct Entry {
        const char* theme;
        QStyle::StandardPixmap fallback;
    };
    static const Entry entries[] = {
        {"document-edit", QStyle::SP_FileDialogDetailedView},
        {"document-import", QStyle::SP_DialogOpenButton},
        {"document-properties", QStyle::SP_FileDialogInfoView},
        {"edit-delete", QStyle::SP_TrashIcon},
        {"preferences-system", QStyle::SP_ComputerIcon},
        {"help-contents", QStyle::SP_MessageBoxQuestion},
        {"folder-new", QStyle::SP_FileDialogNewFolder},
        {"network-server", QStyle::SP_DriveNetIcon},
        {"document-print-preview", QStyle::SP_DesktopIcon},
        {"go-up", QStyle::SP_ArrowUp},
        {"go-down", QStyle::SP_ArrowDown},
    };
    if (image < 0 || image >= static_cast<int>(std::size(entries))) return {};
    return QIcon::fromTheme(QString::fromLatin1(entries[image].theme),
                            style->standardIcon(entries[image].fallback));
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

void TMainWindow::CreateActions() {
    using W = TMainWindow;
    MakeAction(QStringLiteral("actNewGallery"), QStringLiteral("&Neues Album..."),
               QKeySequence(QStringLiteral("Ctrl+N")), 6, &W::actNewGalleryExecute);
    MakeAction(QStringLiteral("actRenameGallery"), QStringLiteral("Albuminfo &bearbeiten..."), {}, -1,
               &W::actRenameGalleryExecute);
    MakeAction(QStringLiteral("actDeleteGallery"), QStringLiteral("Album löschen..."),
               QKeySequence(QStringLiteral("Ctrl+Del")), -1, &W::actDeleteGalleryExecute);
    MakeAction(QStringLiteral("actAlbumUp"), QStringLiteral("Album nach oben verschieben"), {}, 9,
               &W::actAlbumUpExecute);
    MakeAction(QStringLiteral("actAlbumDown"), QStringLiteral("Album nach unten verschieben"), {}, 10,
               &W::actAlbumDownExecute);
    MakeAction(QStringLiteral("actSelectStyle"), QStringLiteral("Style auswählen..."),
               QKeySequence(QStringLiteral("Ctrl+E")), -1, &W::actSelectStyleExecute);
    MakeAction(QStringLiteral("actPreview"), QStringLiteral("Vorschau"), QKeySequence(Qt::Key_F9), 8,
               &W::actPreviewExecute);
    MakeAction(QStringLiteral("actPublish"), QStringLiteral("Alben im Web veröffentlichen..."),
               QKeySequence(Qt::Key_F10), 7, &W::actPublishExecute);
    MakeAction(QStringLiteral("actCDROM"), QStringLiteral("Alben für CDROM erstellen..."), {}, -1,
               &W::actCDROMExecute);
    MakeAction(QStringLiteral("actInvite"), QStringLiteral("Einladungen verschicken..."), {}, -1,
               &W::actInviteExecute);
    MakeAction(QStringLiteral("actClose"), QStringLiteral("Beenden"), {}, -1, nullptr);
    connect(actions_[QStringLiteral("actClose")], &QAction::triggered, this, &QWidget::close);
    scanActions_ = new TScanActions(*this);
    MakeAction(QStringLiteral("actImportTwain"), QStringLiteral("Bild von TWAIN importieren..."), {}, -1,
               nullptr);
    connect(actions_[QStringLiteral("actImportTwain")], &QAction::triggered, scanActions_,
            &TScanActions::actImportTwainExecute);
    MakeAction(QStringLiteral("actTwainSource"), QStringLiteral("TWAIN Schnittstelle festlegen..."), {}, -1,
               nullptr);
    connect(actions_[QStringLiteral("actTwainSource")], &QAction::triggered, scanActions_,
            &TScanActions::actTwainSourceExecute);
    MakeAction(QStringLiteral("actCut"), QStringLiteral("Ausschneiden"),
               QKeySequence(QStringLiteral("Ctrl+X")), -1, nullptr);
    connect(actions_[QStringLiteral("actCut")], &QAction::triggered, this,
            [this] { actCopyExecute(TClipboardMode::Cut); });
    MakeAction(QStringLiteral("actCopy"), QStringLiteral("Kopieren"), QKeySequence(QStringLiteral("Ctrl+C")),
               -1, nullptr);
    connect(actions_[QStringLiteral("actCopy")], &QAction::triggered, this,
            [this] { actCopyExecute(TClipboardMode::Copy); });
    MakeAction(QStringLiteral("actPaste"), QStringLiteral("Einfügen"), QKeySequence(QStringLiteral("Ctrl+V")),
               -1, &W::actPasteExecute);
    QAction* remove = MakeAction(QStringLiteral("actDeleteImage"), QStringLiteral("Löschen..."),
                                 QKeySequence(Qt::Key_Delete), 3, &W::actDeleteImageExecute);
    remove->setToolTip(QStringLiteral("Bild löschen"));
    MakeAction(QStringLiteral("actMarkAll"), QStringLiteral("Alles &markieren"),
               QKeySequence(QStringLiteral("Ctrl+A")), -1, &W::actMarkAllExecute);
    MakeAction(QStringLiteral("actSettings"), QStringLiteral("&Einstellungen..."), {}, 4,
               &W::actSettingsExecute)
        ->setToolTip(QStringLiteral("Einstellungen"));
    MakeAction(QStringLiteral("actImageEdit"), QStringLiteral("Bild bearbeiten..."), {}, 0, nullptr)
        ->setToolTip(QStringLiteral("Bild bearbeiten"));
    connect(actions_[QStringLiteral("actImageEdit")], &QAction::triggered, this, [this] {
        if (auto first = FirstSelectedPicture()) EditPicture(*first);
    });
    MakeAction(QStringLiteral("actEditInfo"), QStringLiteral("&Bildinfo bearbeiten..."),
               QKeySequence(QStringLiteral("Ctrl+T")), 2, &W::actEditInfoExecute)
        ->setToolTip(QStringLiteral("Bildinfo bearbeiten"));
    MakeAction(QStringLiteral("actRotateRight"), QStringLiteral("Bild 90° nach &rechts drehen"),
               QKeySequence(QStringLiteral("Ctrl+R")), -1, nullptr);
    connect(actions_[QStringLiteral("actRotateRight")], &QAction::triggered, this,
            [this] { actRotateExecute(90); });
    MakeAction(QStringLiteral("actRotateLeft"), QStringLiteral("Bild 90° nach links &drehen"),
               QKeySequence(QStringLiteral("Ctrl+L")), -1, nullptr);
    connect(actions_[QStringLiteral("actRotateLeft")], &QAction::triggered, this,
            [this] { actRotateExecute(-90); });
    MakeAction(QStringLiteral("actUseForGallery"),
               QStringLiteral("Bild als Vorschau für das Album &verwenden"), {}, -1,
               &W::actUseForGalleryExecute);
    importActions_ = new TImportActions(*this);
    TImportActions* import = importActions_;
    MakeAction(QStringLiteral("actImport"), QStringLiteral("Bild importieren..."),
               QKeySequence(QStringLiteral("Ctrl+I")), 1, nullptr)
        ->setToolTip(QStringLiteral("Bild importieren"));
    connect(actions_[QStringLiteral("actImport")], &QAction::triggered, import,
            &TImportActions::actImportExecute);
    MakeAction(QStringLiteral("actImportDir"), QStringLiteral("Bildverzeichnis importieren..."),
               QKeySequence(QStringLiteral("Ctrl+F")), -1, nullptr);
    connect(actions_[QStringLiteral("actImportDir")], &QAction::triggered, import,
            &TImportActions::actImportDirExecute);
    MakeAction(QStringLiteral("actHelpContents"), QStringLiteral("&Inhalt..."), QKeySequence(Qt::Key_F1), 5,
               nullptr)
        ->setToolTip(QStringLiteral("Hilfe"));
    connect(actions_[QStringLiteral("actHelpContents")], &QAction::triggered, this, [this] { ShowHelp(0); });
    MakeAction(QStringLiteral("actHelpIndex"), QStringLiteral("Schritt für Schritt..."), {}, -1, nullptr);
    connect(actions_[QStringLiteral("actHelpIndex")], &QAction::triggered, this, [this] { ShowHelp(100); });
    MakeAction(QStringLiteral("actVantroWeb"), QStringLiteral("Vantro im Internet..."), {}, -1, nullptr);
    connect(actions_[QStringLiteral("actVantroWeb")], &QAction::triggered, this, [this] { ShowHelp(0); });
    MakeAction(QStringLiteral("Action3"), QStringLiteral("Support Forum..."), {}, -1, nullptr);
    connect(actions_[QStringLiteral("Action3")], &QAction::triggered, this, [this] { ShowHelp(100); });
    MakeAction(QStringLiteral("actAbout"), QStringLiteral("Über..."), {}, -1, nullptr);
    connect(actions_[QStringLiteral("actAbout")], &QAction::triggered, this, [this] {
        if (!aboutBox_->isVisible()) aboutBox_->ShowModal();
    });
    for (auto& [name, action] : actions_)
        addAction(action);
}

void TMainWindow::CreateMenus() {
    auto add = [this](QMenu* menu, std::initializer_list<QString> entries) {
        for (const QString& name : entries) {
            if (name == QStringLiteral("-"))
                menu->addSeparator();
            else
                menu->addAction(actions_.at(name));
        }
    };
    // Menu entries use their own captions where these differ from the action's.
    auto entry = [this](QMenu* menu, const QString& name, const QString& caption) {
        QAction* proxy = menu->addAction(caption);
        QAction* action = actions_.at(name);
        proxy->setShortcut(action->shortcut());
        proxy->setShortcutContext(Qt::WidgetShortcut);
        proxy->setIcon(action->icon());
        proxy->setEnabled(action->isEnabled());
        connect(proxy, &QAction::triggered, action, &QAction::trigger);
        connect(action, &QAction::changed, proxy,
                [proxy, action] { proxy->setEnabled(action->isEnabled()); });
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    entry(file, QStringLiteral("actSelectStyle"), QStringLiteral("&Style auswählen..."));
    file->addSeparator();
    entry(file, QStringLiteral("actPreview"), QStringLiteral("&Vorschau"));
    entry(file, QStringLiteral("actPublish"), QStringLiteral("&Alben im Web veröffentlichen..."));
    entry(file, QStringLiteral("actCDROM"), QStringLiteral("A&lben für CDROM erstellen..."));
    file->addSeparator();
    entry(file, QStringLiteral("actInvite"), QStringLiteral("&Einladungen verschicken..."));
    file->addSeparator();
    entry(file, QStringLiteral("actClose"), QStringLiteral("&Beenden"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    add(edit, {QStringLiteral("actImportTwain")});
    entry(edit, QStringLiteral("actTwainSource"), QStringLiteral("&TWAIN Schnittstelle festlegen..."));
    edit->addSeparator();
    entry(edit, QStringLiteral("actCut"), QStringLiteral("&Ausschneiden"));
    entry(edit, QStringLiteral("actCopy"), QStringLiteral("&Kopieren"));
    entry(edit, QStringLiteral("actPaste"), QStringLiteral("E&infügen"));
    add(edit, {QStringLiteral("actDeleteImage"), QStringLiteral("actMarkAll"), QStringLiteral("-"),
               QStringLiteral("actSettings")});

    QMenu* albums = menuBar()->addMenu(QStringLiteral("&Fotoalben"));
    add(albums, {QStringLiteral("actNewGallery"), QStringLiteral("actRenameGallery")});
    entry(albums, QStringLiteral("actDeleteGallery"), QStringLiteral("&Album löschen..."));
    albums->addSeparator();
    entry(albums, QStringLiteral("actAlbumUp"), QStringLiteral("A&lbum nach oben verschieben"));
    entry(albums, QStringLiteral("actAlbumDown"), QStringLiteral("Alb&um nach unten verschieben"));

    QMenu* pictures = menuBar()->addMenu(QStringLiteral("B&ilder"));
    entry(pictures, QStringLiteral("actImageEdit"), QStringLiteral("&Bild bearbeiten..."));
    entry(pictures, QStringLiteral("actEditInfo"), QStringLiteral("B&ildinfo bearbeiten"));
    pictures->addSeparator();
    add(pictures, {QStringLiteral("actRotateRight"), QStringLiteral("actRotateLeft"), QStringLiteral("-"),
                   QStringLiteral("actUseForGallery"), QStringLiteral("-")});
    entry(pictures, QStringLiteral("actImport"), QStringLiteral("Bild i&mportieren..."));
    entry(pictures, QStringLiteral("actImportDir"), QStringLiteral("Bildv&erzeichnis importieren..."));
    pictures->addSeparator();
    add(pictures, {QStringLiteral("actDeleteImage")});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    add(help, {QStringLiteral("actHelpContents")});
    entry(help, QStringLiteral("actHelpIndex"), QStringLiteral("&Schritt für Schritt..."));
    help->addSeparator();
    entry(help, QStringLiteral("actVantroWeb"), QStringLiteral("&Vantro im Internet..."));
    entry(help, QStringLiteral("Action3"), QStringLiteral("S&upport Forum..."));
    help->addSeparator();
    entry(help, QStringLiteral("actAbout"), QStringLiteral("Ü&ber..."));

    QToolBar* bar = addToolBar(QStringLiteral("Werkzeuge"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto iconOnly = [bar](QAction* action) {
        bar->addAction(action);
        if (auto* button = bar->widgetForAction(action)) button->setProperty("iconOnly", true);
        if (auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
            tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
    };
    iconOnly(actions_[QStringLiteral("actAlbumUp")]);
    iconOnly(actions_[QStringLiteral("actAlbumDown")]);
    bar->addSeparator();
    bar->addAction(actions_[QStringLiteral("actNewGallery")]);
    QAction* preview =
        bar->addAction(actions_[QStringLiteral("actPreview")]->icon(), QStringLiteral("&Vorschau"));
    connect(preview, &QAction::triggered, actions_[QStringLiteral("actPreview")], &QAction::trigger);
    bar->addAction(actions_[QStringLiteral("actPublish")]);
    bar->addSeparator();
    bar->addAction(actions_[QStringLiteral("actImport")]);
    bar->addAction(actions_[QStringLiteral("actImageEdit")]);
    bar->addAction(actions_[QStringLiteral("actEditInfo")]);
    iconOnly(actions_[QStringLiteral("actDeleteImage")]);
    bar->addSeparator();
    iconOnly(actions_[QStringLiteral("actSettings")]);
    bar->addSeparator();
    iconOnly(actions_[QStringLiteral("actHelpContents")]);

    gridMenu_ = new QMenu(this);
    add(gridMenu_, {QStringLiteral("actImageEdit"), QStringLiteral("actEditInfo"), QStringLiteral("-"),
                    QStringLiteral("actRotateRight"), QStringLiteral("actRotateLeft"), QStringLiteral("-"),
                    QStringLiteral("actUseForGallery"), QStringLiteral("-"), QStringLiteral("actCut"),
                    QStringLiteral("actCopy"), QStringLiteral("actPaste"), QStringLiteral("actDeleteImage"),
                    QStringLiteral("-"), QStringLiteral("actImport"), QStringLiteral("actImportDir"),
                    QStringLiteral("-"), QStringLiteral("actInvite")});
    treeMenu_ = new QMenu(this);
    add(treeMenu_, {QStringLiteral("actNewGallery"), QStringLiteral("actRenameGallery"),
                    QStringLiteral("actDeleteGallery"), QStringLiteral("-"), QStringLiteral("actAlbumUp"),
                    QStringLiteral("actAlbumDown")});
}

void TMainWindow::UpdateActions() {
    if (!ready_) return;
    bool any = grid_->selection().FirstSelected().has_value();
    for (const QString& name :
         {QStringLiteral("actImageEdit"), QStringLiteral("actDeleteImage"), QStringLiteral("actEditInfo"),
          QStringLiteral("actCopy"), QStringLiteral("actCut"), QStringLiteral("actRotateLeft"),
          QStringLiteral("actRotateRight"), QStringLiteral("actUseForGallery"), QStringLiteral("actInvite")})
        actions_.at(name)->setEnabled(any);
    actions_.at(QStringLiteral("actPaste"))->setEnabled(clipboard_.CanPaste());
}

} // namespace vistrel
