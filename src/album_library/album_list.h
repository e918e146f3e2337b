#pragma once
// The album store: albums are plain folders below the album folder, listed in order in the album
// folder's "info.txt"; each album holds its pictures' folders (TAlbumLayout) and its own "info.txt"
// with the pictures' titles and texts. All text is Windows-1252 bytes as stored.
#include "album_library/album_layout.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vistrel {

class UserPrompts;

struct TAlbumEntry {
    std::string FolderName;     // folder below the album folder; unique, web-safe
    std::string Info;           // one line, tree column "Album Info"
    std::string Text;           // several lines (CR LF), tree column "Album Text"
    std::string PreviewPicture; // file name of the album's preview picture, or empty
    std::string Title;          // as the user typed it, tree column "Fotoalbum"
    bool Published = false;     // part of the generated site
};

// One picture: FileName, Title, Text and any further fields, kept as read and written back.
class TPictureEntry {
public:
    TPictureEntry() = default;
    explicit TPictureEntry(std::vector<std::string> fields) : fields_(std::move(fields)) {}
    static TPictureEntry WithFileName(const std::string& fileName) { return TPictureEntry({fileName}); }

    const std::string& FileName() const { return Field(0); }
    const std::string& Title() const { return Field(1); }
    const std::string& Text() const { return Field(2); }
    void SetFileName(const std::string& value) { SetField(0, value); }
    void SetTitle(const std::string& value) { SetField(1, value); }
    void SetText(const std::string& value) { SetField(2, value); }

    // True when the title counts as one: it compares greater than "!" in byte order.
    bool HasTitle() const;
    // The caption the main window shows: the title when there is one, else the file name.
    const std::string& Caption() const { return HasTitle() ? Title() : FileName(); }

    const std::vector<std::string>& Fields() const { return fields_; }

private:
    const std::string& Field(size_t index) const;
    void SetField(size_t index, const std::string& value);

    std::vector<std::string> fields_;
};

using TPictureList = std::vector<TPictureEntry>;

class TAlbumList {
public:
    static constexpr int kNone = -1;

    TAlbumList(std::filesystem::path albumFolder, UserPrompts& prompts);

    const std::filesystem::path& AlbumFolder() const { return albumFolder_; }
    std::vector<TAlbumEntry>& Albums() { return albums_; }
    const std::vector<TAlbumEntry>& Albums() const { return albums_; }
    int Count() const { return static_cast<int>(albums_.size()); }
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }
    TAlbumEntry& operator[](int index) { return albums_.at(static_cast<size_t>(index)); }
    const TAlbumEntry& operator[](int index) const { return albums_.at(static_cast<size_t>(index)); }

    int Current() const { return current_; }
    void SetCurrent(int index) { current_ = IsValidIndex(index) ? index : kNone; }

    // Reads "info.txt", adds subfolders it does not list, drops entries whose folder is gone.
    void LoadAlbumList();
    // Rewrites "info.txt"; on failure shows "Fehler beim Schreiben der Albenliste <path>!".
    bool SaveAlbumList();
    // Creates "Neues Album" when the album folder holds no album, so that one always exists.
    void EnsureOneAlbum();

    // Album folder + FolderName, with a trailing separator; ThumbsPath/ImagesPath empty when invalid.
    std::filesystem::path AlbumPath(int index) const;
    std::filesystem::path ThumbsPath(int index) const;
    std::filesystem::path ImagesPath(int index) const;
    // The folders and picture files of album `index` (which must be valid).
    TAlbumLayout Layout(int index) const;

    TPictureList LoadPictureList(int index) const;
    // What opening an album for work does: mends what a killed import left in its folder
    // (TidyAlbumFolder), then loads its picture list. Reading an album for a site, a CD or a listing
    // uses LoadPictureList and changes nothing.
    TPictureList OpenPictureList(int index) const;
    // On failure shows "Fehler beim Schreiben der Info-Datei <path>!".
    bool SavePictureList(int index, const TPictureList& pictures);

    int CreateAlbumFolder(const std::string& title);
    void RenameAlbumFolder(int index, const std::string& newTitle);
    // Moves the folder to the desktop's trash, or deletes the tree where there is none (never following
    // a symbolic link out of it). Returns false on failure, after showing "Fehler beim Löschen von <path>".
    bool DeleteAlbumFolder(int index);
    // Deletes every file of the picture in the current album; failures are ignored.
    void DeletePictureFiles(const std::string& fileName);

private:
    bool FolderExists(const std::string& name) const;
    // True when anything of that name stands in the album folder; a new folder needs a free name.
    bool NameTaken(const std::string& name) const;
    void AdoptFolderSpelling(const std::vector<std::string>& folders);

    std::filesystem::path albumFolder_;
    UserPrompts& prompts_;
    std::vector<TAlbumEntry> albums_;
    int current_ = kNone;
};

// Umlauts and "ß" spelled out, every other character but ()-.0-9A-Z_a-z becomes "_".
std::string WebSafeName(const std::string& text);

// A stored folder name that names a real subfolder of the album folder: not empty, not "." or "..",
// without a path separator. Anything else would point at the album folder itself or outside it.
bool IsPlainFolderName(const std::string& name);

// True when an album's folder, links resolved, is a folder below the album folder, or does not exist
// yet. One that is a link
// to a folder elsewhere is still listed, but the program never cleans, fills, copies or uploads it:
// the folder is not the program's.
bool IsAlbumFolderInside(const std::filesystem::path& albumFolder, const std::filesystem::path& galleries);

} // namespace vistrel
