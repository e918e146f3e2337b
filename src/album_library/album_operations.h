#pragma once
// The user's operations on albums and on the pictures of the open album, without any window: the
// main window and vistrel-cli call these and only redraw afterwards.
#include "album_library/album_list.h"

#include <optional>
#include <string>
#include <vector>

namespace vistrel {

// A title that compares below "!" (empty, or starting with a blank or control character).
std::string NewAlbumTitle(const std::string& typed);

// Creates the album folder and entry (current album) with the dialog's three fields; returns its index.
int CreateNewAlbum(TAlbumList& albums, const std::string& typedName, const std::string& info,
                   const std::string& text);

// Stores the dialog's fields; a changed title renames the folder. The title stays as typed.
void ApplyAlbumInfo(TAlbumList& albums, int index, const std::string& title, const std::string& info,
                    const std::string& text);

// Saves the list, deletes the album's folder, loads the list again and makes sure one album is left.
// The caller discards the open album's picture list without saving it.
void DeleteAlbum(TAlbumList& albums, int index);

// Moves an album with its publish mark; the current album follows it. Returns false when nothing moved.
bool MoveAlbum(TAlbumList& albums, int from, int to);

// "Soll das gewählte Bild wirklich gelöscht werden?" or "Sollen diese %d Bilder wirklich gelöscht werden?".
std::string DeletePicturesQuestion(int count);

// Gives the entry at least Title and Text, then sets them.
void SetPictureInfo(TPictureEntry& entry, const std::string& title, const std::string& text);

enum class TClipboardMode { None, Copy, Cut };

// The program's own picture clipboard: entries only; files are read from the source at paste time.
struct TPictureClipboard {
    TClipboardMode mode = TClipboardMode::None;
    std::string sourceFolder;
    int sourceIndex = -1;
    TPictureList entries;

    bool CanPaste() const { return !entries.empty(); }
    void Clear();
};

// Copy or cut of the given pictures (grid order) of the current album.
void CopyToClipboard(TPictureClipboard& clipboard, const TAlbumList& albums, const TPictureList& pictures,
                     const std::vector<int>& selected, TClipboardMode mode);

// The first free name in `folder`: the name itself, then "name(1).ext", "name(2).ext", ...
std::string FreeFileName(const std::filesystem::path& folder, const std::string& fileName);

struct TPasteResult {
    bool changed = false;        // the picture list changed
    bool reopen = false;         // the album was saved and must be opened anew
    std::optional<int> scrollTo; // grid index to bring into view after reopening
    std::vector<int> appended;   // indices of entries appended at the end (no target position)
};

// Pastes into the open album (`openIndex`, `pictures`) at the target position (the first selected
// picture) or at the end. Cut pictures within one album are moved; otherwise files are copied under
// free names, and a cut is completed by removing the pictures from the source album.
TPasteResult PastePictures(TAlbumList& albums, int openIndex, TPictureList& pictures,
                           TPictureClipboard& clipboard, std::optional<int> target);

} // namespace vistrel
