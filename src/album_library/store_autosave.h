#pragma once
// Writes the album list and the open album's picture list soon after every change, so that a crash
// or a power cut loses nothing the user did. The write waits for the event loop (a zero-length
// single-shot timer), so a handler that changes several things leads to one write; after a write,
// the next one waits out a short pause, so a burst of changes (an import, a drag through the tree)
// costs a few synced writes instead of one per change. The files and their format are those of
// SaveAlbumList and SavePictureList.
#include "album_library/album_list.h"

#include <QElapsedTimer>
#include <QTimer>

namespace vistrel {

class TStoreAutosave {
public:
    // The least time between two writes of the same kind, in milliseconds.
    static constexpr int kPauseMs = 250;

    explicit TStoreAutosave(TAlbumList& albums);
    TStoreAutosave(const TStoreAutosave&) = delete;
    TStoreAutosave& operator=(const TStoreAutosave&) = delete;

    // The album whose picture list is open, and that list; -1 and null when none is open. Changing
    // the open album drops a pending picture write: the caller saves (or discards) the old list itself.
    void SetOpenPictures(int albumIndex, const TPictureList* pictures);
    // The open album moved to another place in the list; a pending picture write still goes to it.
    void OpenAlbumMoved(int albumIndex) { openAlbum_ = albumIndex; }
    // An album's title, texts, preview, publish mark, folder or place changed.
    void AlbumsChanged();
    // An entry of the open picture list changed, moved, came or went.
    void PicturesChanged();

    // True while a change waits for its write.
    bool Pending() const { return albumsDirty_ || picturesDirty_; }
    // Writes what waits, now.
    void Flush();

private:
    void Schedule();

    TAlbumList& albums_;
    int openAlbum_ = TAlbumList::kNone;
    const TPictureList* pictures_ = nullptr;
    bool albumsDirty_ = false;
    bool picturesDirty_ = false;
    QTimer timer_;
    QElapsedTimer sinceWrite_;
};

} // namespace vistrel
