#include "album_library/store_autosave.h"

#include <algorithm>

namespace vistrel {

TStoreAutosave::TStoreAutosave(TAlbumList& albums) : albums_(albums) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Flush(); });
}

void TStoreAutosave::SetOpenPictures(int albumIndex, const TPictureList* pictures) {
    openAlbum_ = albumIndex;
    pictures_ = pictures;
    picturesDirty_ = false;
}

void TStoreAutosave::AlbumsChanged() {
    albumsDirty_ = true;
    Schedule();
}

void TStoreAutosave::PicturesChanged() {
    if (!pictures_ || !albums_.IsValidIndex(openAlbum_)) return;
    picturesDirty_ = true;
    Schedule();
}

void TStoreAutosave::Schedule() {
    if (timer_.isActive()) return;
    qint64 waited = sinceWrite_.isValid() ? sinceWrite_.elapsed() : kPauseMs;
    timer_.start(int(std::max<qint64>(0, kPauseMs - waited)));
}

void TStoreAutosave::Flush() {
    timer_.stop();
    // The flags go down before the writes: a failed write shows its message once, and the next
    // change tries again.
    if (picturesDirty_) {
        picturesDirty_ = false;
        if (pictures_ && albums_.IsValidIndex(openAlbum_)) albums_.SavePictureList(openAlbum_, *pictures_);
    }
    if (albumsDirty_) {
        albumsDirty_ = false;
        albums_.SaveAlbumList();
    }
    sinceWrite_.start();
}

} // namespace vistrel
