#include "album_library/album_operations.h"

#include "album_library/album_library_texts.h"
#include "common/cp1252.h"
#include "common/text_utils.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace vistrel {
namespace {

int FindPicture(const TPictureList& pictures, const std::string& fileName) {
    for (size_t i = 0; i < pictures.size(); ++i)
        if (AnsiSameText(pictures[i].FileName(), fileName)) return static_cast<int>(i);
    return -1;
}

// The source album of a paste: found by its remembered folder name, so that albums moved, added or
// deleted since the cut do not send the removal to the wrong album; by position when the name is gone.
int SourceAlbumIndex(const TAlbumList& albums, const TPictureClipboard& clipboard) {
    for (int i = 0; i < albums.Count(); ++i)
        if (albums[i].FolderName == clipboard.sourceFolder) return i;
    return clipboard.sourceIndex;
}

TPasteResult MoveWithinAlbum(TAlbumList& albums, int openIndex, TPictureList& pictures,
                             const TPictureClipboard& clipboard, std::optional<int> target) {
    TPasteResult result;
    if (!target) return result;
    int position = *target;
    for (const auto& entry : clipboard.entries) {
        int index = FindPicture(pictures, entry.FileName());
        if (index < 0) continue;
        pictures.erase(pictures.begin() + index);
        if (index < position) --position;
        pictures.insert(pictures.begin() + position, entry);
        ++position;
    }
    albums.SavePictureList(openIndex, pictures);
    result.changed = result.reopen = true;
    result.scrollTo = target;
    return result;
}

void CompleteCut(TAlbumList& albums, TPictureClipboard& clipboard) {
    int source = SourceAlbumIndex(albums, clipboard);
    if (albums.IsValidIndex(source)) {
        TPictureList sourcePictures = albums.LoadPictureList(source);
        TAlbumLayout folder(albums.AlbumFolder() / clipboard.sourceFolder);
        for (const auto& entry : clipboard.entries) {
            int index = FindPicture(sourcePictures, entry.FileName());
            if (index < 0) continue;
            sourcePictures.erase(sourcePictures.begin() + index);
            if (!IsPlainFolderName(entry.FileName()) || !IsPlainFolderName(clipboard.sourceFolder)) continue;
            folder.DeletePictureFiles(entry.FileName());
        }
        albums.SavePictureList(source, sourcePictures);
    }
    clipboard.Clear();
}

} // namespace

std::string NewAlbumTitle(const std::string& typed) {
    return typed < std::string("!") ? Text(album_library_texts::kNewAlbumTitle) : typed;
}

int CreateNewAlbum(TAlbumList& albums, const std::string& typedName, const std::string& info,
                   const std::string& text) {
    int index = albums.CreateAlbumFolder(NewAlbumTitle(typedName));
    albums[index].Info = info;
    albums[index].Text = text;
    return index;
}

void ApplyAlbumInfo(TAlbumList& albums, int index, const std::string& title, const std::string& info,
                    const std::string& text) {
    if (!albums.IsValidIndex(index)) return;
    TAlbumEntry& album = albums[index];
    bool renamed = album.Title != title;
    album.Title = title;
    album.Info = info;
    album.Text = text;
    if (renamed) albums.RenameAlbumFolder(index, title);
}

void DeleteAlbum(TAlbumList& albums, int index) {
    if (!albums.IsValidIndex(index) || albums[index].FolderName.empty()) return;
    albums.SaveAlbumList();
    albums.DeleteAlbumFolder(index);
    albums.LoadAlbumList();
    albums.EnsureOneAlbum();
}

bool MoveAlbum(TAlbumList& albums, int from, int to) {
    if (!albums.IsValidIndex(from) || !albums.IsValidIndex(to) || from == to) return false;
    int current = albums.Current();
    std::string currentFolder = albums.IsValidIndex(current) ? albums[current].FolderName : std::string();
    auto& list = albums.Albums();
    TAlbumEntry moved = std::move(list[static_cast<size_t>(from)]);
    list.erase(list.begin() + from);
    list.insert(list.begin() + to, std::move(moved));
    if (current == from) {
        albums.SetCurrent(to);
    } else if (!currentFolder.empty()) {
        for (int i = 0; i < albums.Count(); ++i)
            if (albums[i].FolderName == currentFolder) albums.SetCurrent(i);
    }
    return true;
}

std::string DeletePicturesQuestion(int count) {
    if (count == 1) return Text(album_library_texts::kDeleteOnePicture);
    return FormatMessage(Text(album_library_texts::kDeletePictures), {std::to_string(count)});
}

void SetPictureInfo(TPictureEntry& entry, const std::string& title, const std::string& text) {
    entry.SetTitle(title);
    entry.SetText(text);
}

void TPictureClipboard::Clear() {
    mode = TClipboardMode::None;
    sourceFolder.clear();
    sourceIndex = -1;
    entries.clear();
}

void CopyToClipboard(TPictureClipboard& clipboard, const TAlbumList& albums, const TPictureList& pictures,
                     const std::vector<int>& selected, TClipboardMode mode) {
    int current = albums.Current();
    clipboard.mode = mode;
    clipboard.sourceFolder = albums.IsValidIndex(current) ? albums[current].FolderName : std::string();
    clipboard.sourceIndex = current;
    clipboard.entries.clear();
    for (int index : selected)
        if (index >= 0 && index < static_cast<int>(pictures.size()))
            clipboard.entries.push_back(pictures[index]);
}

std::string FreeFileName(const fs::path& folder, const std::string& fileName) {
    std::error_code ec;
    if (!fs::exists(folder / fileName, ec)) return fileName;
    size_t dot = fileName.rfind('.');
    std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot);
    for (int n = 1;; ++n) {
        std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
        if (!fs::exists(folder / candidate, ec)) return candidate;
    }
}

TPasteResult PastePictures(TAlbumList& albums, int openIndex, TPictureList& pictures,
                           TPictureClipboard& clipboard, std::optional<int> target) {
    if (!clipboard.CanPaste() || clipboard.mode == TClipboardMode::None || !albums.IsValidIndex(openIndex))
        return {};
    if (clipboard.mode == TClipboardMode::Cut && SourceAlbumIndex(albums, clipboard) == openIndex)
        return MoveWithinAlbum(albums, openIndex, pictures, clipboard, target);

    TPasteResult result;
    result.changed = true;
    TAlbumLayout source(albums.AlbumFolder() / clipboard.sourceFolder);
    TAlbumLayout open = albums.Layout(openIndex);
    std::optional<int> position = target;
    for (const auto& entry : clipboard.entries) {
        if (!IsPlainFolderName(entry.FileName())) continue;
        std::string name = FreeFileName(open.Images(), entry.FileName());
        open.CopyPictureFiles(source, entry.FileName(), name);
        TPictureEntry copy = entry;
        copy.SetFileName(name);
        if (position) {
            pictures.insert(pictures.begin() + std::min<int>(*position, static_cast<int>(pictures.size())),
                            copy);
            ++*position;
        } else {
            pictures.push_back(copy);
            result.appended.push_back(static_cast<int>(pictures.size()) - 1);
        }
    }
    if (target) {
        albums.SavePictureList(openIndex, pictures);
        result.reopen = true;
        result.scrollTo = target;
    }
    if (clipboard.mode == TClipboardMode::Cut) CompleteCut(albums, clipboard);
    return result;
}

} // namespace vistrel
