#pragma once
// The album library's messages as the user reads them: written here in UTF-8 and handed out as
// Windows-1252 bytes through Text(), like every text of the logic.
#include "common/german_text.h"

namespace vistrel::album_library_texts {

// Albums and pictures.
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

// Import.
inline constexpr const char* kNoPictures =
    "Das Verzeichnis enthält keine Bilder, die importiert werden könnten.";

// The import's closing summary.
inline constexpr const char* kSummaryCount = "Von %s Dateien wurden %s importiert.";
inline constexpr const char* kSummaryCancelled = "Der Import wurde abgebrochen.";
inline constexpr const char* kSummaryLeftOut = "Nicht importiert:";
inline constexpr const char* kSummaryDamaged =
    "Importiert, aber möglicherweise beschädigt (bitte ansehen und gegebenenfalls neu importieren):";
inline constexpr const char* kDetails = "Details:";

// Why a file was not imported: what happened, and what the user can do.
inline constexpr const char* kNotAPicture = "Die Datei ist kein Bild in einem bekannten Format.";
inline constexpr const char* kEmptyFile = "Die Datei ist leer.";
inline constexpr const char* kBroken =
    "Das Bild ist beschädigt und kann nicht gelesen werden. Kopieren Sie es bitte noch einmal von der "
    "Kamera oder Speicherkarte.";
inline constexpr const char* kTooLarge =
    "Das Bild ist zu groß, um es zu verarbeiten. Verkleinern Sie es bitte mit einem Bildprogramm.";
inline constexpr const char* kUnsupported =
    "Dieses Bildformat wird nicht unterstützt. Speichern Sie das Bild bitte als JPEG oder PNG.";
inline constexpr const char* kCannotOpen =
    "Die Datei kann nicht geöffnet werden (gelöscht, verschoben oder keine Leseberechtigung).";
inline constexpr const char* kWriteFailed =
    "Das Bild konnte nicht im Album gespeichert werden. Prüfen Sie bitte, ob der Datenträger voll oder "
    "schreibgeschützt ist.";
inline constexpr const char* kOther = "Die Datei konnte nicht importiert werden.";
// A JPEG that libjpeg read with warnings (cut short, stray bytes).
inline constexpr const char* kDamaged =
    "Das Bild ist unvollständig oder enthält Fehler; fehlende Teile erscheinen grau.";

// A scanned picture that could not be stored.
inline constexpr const char* kScanNotStored =
    "Das gescannte Bild konnte nicht im Album gespeichert werden. Prüfen Sie bitte, ob der Datenträger "
    "voll oder schreibgeschützt ist.";

} // namespace vistrel::album_library_texts
