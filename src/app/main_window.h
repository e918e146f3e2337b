#pragma once
// The main window: the album tree on the left, the thumbnail grid of the open album on the right, the
// menus, the tool bar and the status bar. It holds the program context for the whole run; every
// operation itself lives in the logic layer and the window only redraws after it.
#include "album_library/album_operations.h"
#include "album_library/store_autosave.h"
#include "album_library/ui/import_host.h"
#include "app/qt_prompts.h"
#include "program/program_context.h"

#include <QMainWindow>
#include <map>

class QAction;
class QLabel;
class QMenu;
class QSplitter;

namespace vistrel {

class TAboutBox;
class TAlbumTree;
class TEditAlbumInfoForm;
class TEditInfoForm;
class TftpProtoForm;
class TGenStat;
class TImportActions;
class TScanActions;
class TImageEditor;
class TInviteForm;
struct TSiteWindowHooks;
class TSettingsForm;
class TStatusPanel;
class TThumbGrid;
struct TTileData;

class TMainWindow : public QMainWindow, public ImportHost {
    Q_OBJECT
public:
    // Messages and questions go to `prompts` when given (tests), else to message boxes.
    explicit TMainWindow(const std::filesystem::path& programFolder, UserPrompts* prompts = nullptr);
    ~TMainWindow() override;

    // The stored placement and tree width, applied before the window is first shown.
    void RestorePlacement();
    // The size of the first start (no stored placement) on a screen whose free area is `available`:
    // the window's measures grown with the font, wide enough for the whole tool bar, within the screen.
    QSize FirstSize(const QRect& available) const;
    // The factor of the window's measures, from the line height of its font (at least 1).
    double Scale() const;
    // Start-up once the window is shown: settings, splash, album list, first album.
    void StartUp(bool showSplash);

    void LockMainWindow() override;
    void UnlockMainWindow() override;
    bool IsReady() const override { return ready_; }
    void OpenAlbum();
    void CloseAlbum(bool save);
    void ShowStatus() override;
    void ShowStatusText(const QString& text) override;
    void ScrollIntoView(int index) override;
    void LayoutTiles(int first, int last) override;
    void ShowHelp(int context);
    std::optional<int> FirstSelectedPicture() const;
    // After an import stored a picture: a new tile, or a fresh thumbnail for an entry of that name.
    void ShowImportedPicture(int index, bool appended) override;

    TProgramContext& Context() override { return context_; }
    TPictureList& Pictures() override { return pictures_; }
    int OpenAlbumIndex() const override { return openAlbum_; }
    QWidget* DialogParent() override { return this; }
    TImportActions* ImportActions() const { return importActions_; }
    TScanActions* ScanActions() const { return scanActions_; }
    TThumbGrid* Grid() const { return grid_; }
    TAlbumTree* Tree() const { return tree_; }
    TStatusPanel* AlbumStatus() const { return statusAlbum_; }
    TStatusPanel* StyleStatus() const { return statusStyle_; }
    TAboutBox* AboutBox() const { return aboutBox_; }
    QAction* Action(const QString& name) const { return actions_.at(name); }
    TEditInfoForm* EditInfoForm() const { return editInfoForm_; }
    TEditAlbumInfoForm* EditAlbumInfoForm() const { return editAlbumInfoForm_; }
    const TPictureClipboard& Clipboard() const { return clipboard_; }
    // Writes every change of the album list and the open picture list soon after it was made.
    TStoreAutosave& Autosave() { return autosave_; }

    // The action handlers, callable from tests without the menus.
    void actNewGalleryExecute();
    void actRenameGalleryExecute();
    void actDeleteGalleryExecute();
    void actAlbumUpExecute();
    void actAlbumDownExecute();
    void actDeleteImageExecute();
    void actMarkAllExecute();
    void actEditInfoExecute();
    void actRotateExecute(double degrees);
    void actUseForGalleryExecute();
    void actCopyExecute(TClipboardMode mode);
    void actPasteExecute();
    // "&Einstellungen...": the settings dialog, modal; created at its first use.
    void actSettingsExecute();
    // The settings dialog, made at its first use.
    TSettingsForm* SettingsForm();
    // "Vorschau", "Style auswählen..." and "Alben für CDROM erstellen...".
    void actPreviewExecute();
    void actSelectStyleExecute();
    void actCDROMExecute();
    void actPublishExecute();
    // "Einladungen verschicken...": the invitation dialog, made at its first use.
    void actInviteExecute();
    TInviteForm* InviteForm();
    // The window's services for a site generation run, and its progress window.
    TSiteWindowHooks SiteHooks();
    TGenStat* GenStat();
    // The picture editor, made at its first use; EditPicture opens it on a picture of the album.
    TImageEditor* ImageEditor();
    void EditPicture(int index);
    void MoveAlbumTo(int from, int to);
    void MovePicture(int from, int to);
    void SelectAlbumRow(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    QAction* MakeAction(const QString& name, const QString& caption, const QKeySequence& shortcut, int image,
                        void (TMainWindow::*handler)());
    void UpdateActions();
    void EditPictureInfo(int index);
    void FillPictureInfo(int index);
    void StorePictureInfo(int index);
    void StepPictureInfo(int delta);
    void OpenUrl(const QString& url);
    TTileData TileFor(const TPictureEntry& entry) const;
    void SavePlacement();

    TQtPrompts prompts_;
    TProgramContext context_;
    TPictureList pictures_;
    TPictureClipboard clipboard_;
    TStoreAutosave autosave_{context_.albums};
    int openAlbum_ = TAlbumList::kNone;
    int infoIndex_ = -1; // the picture "Bildinformationen" shows
    std::filesystem::path openThumbs_;
    bool ready_ = true;
    std::map<QAction*, bool> lockedActions_;

    TAlbumTree* tree_;
    TThumbGrid* grid_;
    QSplitter* splitter_;
    TStatusPanel* statusAlbum_;
    TStatusPanel* statusStyle_;
    QMenu* gridMenu_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    std::map<QString, QAction*> actions_;
    TEditInfoForm* editInfoForm_;
    TEditAlbumInfoForm* editAlbumInfoForm_;
    TAboutBox* aboutBox_;
    // Live as long as the window: the protocol stays readable after the publish dialog closed, and
    // a password typed once stays for the run.
    std::string publishPassword_; // typed into the publish dialog, kept for the program's run
    TftpProtoForm* ftpProtocol_;
    TGenStat* genStat_ = nullptr;
    TSettingsForm* settingsForm_ = nullptr;
    TImportActions* importActions_ = nullptr;
    TScanActions* scanActions_ = nullptr;
    TImageEditor* imageEditor_ = nullptr;
    UserPrompts* testPrompts_; // the prompts given at construction, null in the program
    TInviteForm* inviteForm_ = nullptr;
};

} // namespace vistrel
