#pragma once
// The picture editor's messages and questions, as the user reads them. They are written here in
// UTF-8 and handed out as Windows-1252 bytes through Text(), like every text of the logic.
#include "common/german_text.h"

namespace vistrel::image_processing_texts {

inline constexpr const char* kUndoMemory =
    "Es steht nicht genug Speicher für das Rückgängigmachen der letzten Aktion zur Verfügung.";
// The editor's revert question has always been English.
inline constexpr const char* kRevertQuestion = "Ignore all changes and revert to original?";
inline constexpr const char* kDiscardQuestion = "Alle Änderungen verwerfen?";

inline constexpr const char* kNoPictureToSave = "Es ist kein Bild zum Speichern vorhanden.";
inline constexpr const char* kEncodingFailed =
    "Das Bild %s konnte nicht gespeichert werden. Es wurde nichts verändert.";
inline constexpr const char* kPictureWriteFailed =
    "In %s kann nicht geschrieben werden. Es wurde nichts verändert.";
inline constexpr const char* kThumbWriteFailed =
    "Das Bild wurde gespeichert, aber in %s kann nicht geschrieben werden.";

} // namespace vistrel::image_processing_texts
