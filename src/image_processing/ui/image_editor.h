#pragma once
// "Bild bearbeiten": the modal picture editor. It shows an edit session: the menus and the tool bar
// call the session's changes, the view shows its picture, the status bar its name, zoom and size.
// Messages and questions go to the given prompts (tests) or to message boxes with Yes and Cancel.
#include "common/user_prompts.h"
#include "image_processing/edit_session.h"

#include <QDialog>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMenuBar;
class QProgressBar;
class QStatusBar;
class QTimer;
class QToolBar;

namespace vistrel {

class TGammaForm;
class TImageScrollBox;

class TImageEditor : public QDialog {
    Q_OBJECT
public:
    TImageEditor(QWidget* parent, std::filesystem::path placementFile, UserPrompts* prompts = nullptr);
    ~TImageEditor() override;

    // The picture path, set before the window is shown; showing loads it.
    void SetPicturePath(const std::filesystem::path& path) { picturePath_ = path; }
    TEditSession& Session() { return *session_; }
    TDibGraphic& CurrentPicture() { return session_->Picture(); }
    void ClearPicture();

    // Help topics ("&Inhalt", F1) and the program's about box belong to the main window.
    std::function<void(int context)> OnHelp;
    std::function<void()> OnAbout;
    // The name chosen in "&Speichern unter..."; empty for cancel. A file dialog unless replaced.
    std::function<QString(const QString& folder)> ChooseSaveName;

    static constexpr int kHelpContext = 400;

    QAction* Action(const QString& name) const { return actions_.at(name); }
    TImageScrollBox* sbImage;
    QStatusBar* StatusBar1;
    QLabel* Panels[5];
    QProgressBar* ProgressBar1;
    QTimer* Timer1;
    QMenuBar* MenuBar;
    QToolBar* ToolBar;
    TGammaForm* GammaForm;

    // The handlers behind the actions, callable from tests without the menus.
    void ApplyChange(TEditAction action);
    void actGammaExecute();
    void actUndoExecute();
    void actReloadExecute();
    void actSaveAsExecute();
    void SetZoom(int percent);
    void actFullpageExecute();
    void actViewFitExecute();
    void actZoomInExecute();
    void actZoomOutExecute();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    QAction* MakeAction(const char* name, const QString& caption, const QKeySequence& shortcut);
    void CreateActions();
    void CreateMenus();
    void CreateStatusBar();
    void Changed();
    void UpdateActions();
    // `what` in German, then the reason in plain words (from the file when one is given), and the
    // English detail last under "Details:".
    void ShowError(const QString& what, const std::exception& error, const std::filesystem::path& file = {});
    TImageProgressEvent ProgressHandler();
    void RestorePlacement();
    void SavePlacement();

    std::filesystem::path placementFile_;
    std::filesystem::path picturePath_;
    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts& prompts_;
    std::unique_ptr<TEditSession> session_;
    std::map<QString, QAction*> actions_;
    bool closing_ = false;
};

} // namespace vistrel
