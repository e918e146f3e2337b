#pragma once
// The album library's texts as the user reads them. They are written here in UTF-8 and handed out
// as Windows-1252 bytes through Text(), like every text of the logic.
#include "common/german_text.h"

namespace vistrel::album_texts {

inline constexpr const char* kNewAlbumTitle = "Neues Album";
inline constexpr const char* kAlbumListWriteFailed = "Fehler beim Schreiben der Albenliste %s!";
inline constexpr const char* kPictureListWriteFailed = "Fehler beim Schreiben der Info-Datei %s!";
inline constexpr const char* kFolderNotCreated =
    "Das Verzeichnis %s %s konnte nicht angelegt werden. Fehler: %s";
inline constexpr const char* kDeleteFailed = "Fehler beim Löschen von %s";
inline constexpr const char* kDeleteOnePicture = "Soll das gewählte Bild wirklich gelöscht werden?";
inline constexpr const char* kDeletePictures = "Sollen diese %s Bilder wirklich gelöscht werden?";
inline constexpr const char* kRotateFailed =
    "Das Bild \"%s\" konnte nicht gedreht werden (beschädigt oder schreibgeschützt).";

} // namespace vistrel::album_texts
