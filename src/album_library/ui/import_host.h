#pragma once
// What the import actions and the scanner actions need of the main window. The window implements it, so the
// import code below it never includes the window's header.
#include "album_library/album_list.h"
#include "program/program_context.h"

class QString;
class QWidget;

namespace vistrel {

class ImportHost {
public:
    virtual ~ImportHost() = default;
    // The parent of the file and folder dialogs and of the progress window.
    virtual QWidget* DialogParent() = 0;
    virtual TProgramContext& Context() = 0;
    virtual TPictureList& Pictures() = 0;
    virtual int OpenAlbumIndex() const = 0;
    // False while another operation runs; a drop is then ignored.
    virtual bool IsReady() const = 0;
    virtual void LockMainWindow() = 0;
    virtual void UnlockMainWindow() = 0;
    // A stored picture: a new tile, or a fresh thumbnail for an entry of that name.
    virtual void ShowImportedPicture(int index, bool appended) = 0;
    virtual void LayoutTiles(int first, int last) = 0;
    virtual void ScrollIntoView(int index) = 0;
    virtual void ShowStatus() = 0;
    // The first status panel shows `text` until the next ShowStatus (the scanner's notice).
    virtual void ShowStatusText(const QString& text) = 0;
};

} // namespace vistrel
