#pragma once
// The invitation sender's messages as the user reads them. Written here in UTF-8; Text() hands
// them out as Windows-1252 bytes like every text of the logic.
#include "common/german_text.h"

#include <string>

namespace vistrel::invite_texts {

inline constexpr const char* kListFull = "Die Liste kann höchstens 50 Einträge aufnehmen.";
inline constexpr const char* kInvalidAddress = " ist keine gültige E-Mail Adresse.";
inline constexpr const char* kDuplicate = " ist bereits in der Liste.";
inline constexpr const char* kTextTooLong = "Die Länge des Textes darf 1000 Zeichen nicht überschreiten.";
inline constexpr const char* kSendFailed =
    "Die Einladung(en) konnte(n) nicht verschickt werden. Bitte stellen Sie sicher, dass eine Verbindung mit "
    "dem Internet besteht und versuchen es erneut.";
inline constexpr const char* kNoRecipients =
    "Bitte tragen Sie auf der Seite ''Empfänger'' die E-Mail Adressen der Empfänger der Einladung ein.";
inline constexpr const char* kNoSenderAddress =
    "Bitte tragen Sie unter Einstellungen/Info Ihre E-Mail-Adresse "
    "ein, die als Absender Ihrer Einladung verwendet wird!";
inline constexpr const char* kSent = "Einladungen verschickt!";
inline constexpr const char* kTestSent =
    "Die Testeinladung wurde an %s verschickt. Schauen Sie jetzt bitte in Ihre "
    "E-Mail, um die Einladung zu überprüfen.";
inline constexpr const char* kSocketError = "Error";

} // namespace vistrel::invite_texts
