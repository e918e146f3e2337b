#pragma once
// The scanner's messages as the user reads them. Written here in UTF-8; Text() hands them out as
// Windows-1252 bytes like every text of the logic.
#include "common/german_text.h"

namespace vistrel::scanner_texts {

inline constexpr const char* kNoScanner = "TWAIN Schnittstelle nicht gefunden";
inline constexpr const char* kScanStatus = "TWAIN-Schnittstelle wird aufgerufen...";
inline constexpr const char* kUnknownDevice = "Der Scanner \"%s\" wurde nicht gefunden.";
inline constexpr const char* kDeviceBusy =
    "Der Scanner ist belegt. Bitte versuchen Sie es später noch einmal.";
inline constexpr const char* kJammed = "Im Vorlageneinzug des Scanners ist das Papier gestaut.";
inline constexpr const char* kCoverOpen = "Der Deckel des Scanners ist offen.";
inline constexpr const char* kNoDocuments = "Im Vorlageneinzug des Scanners liegen keine Vorlagen.";
inline constexpr const char* kAccessDenied = "Der Zugriff auf den Scanner wurde verweigert.";
inline constexpr const char* kInvalidOption = "Der Scanner nimmt die Einstellung nicht an.";
inline constexpr const char* kDeviceFailed = "Beim Scannen ist ein Fehler aufgetreten.";

} // namespace vistrel::scanner_texts
