#pragma once
// The publish job's messages, protocol lines and status texts, as the user reads them. They are
// written here in UTF-8 and handed out as Windows-1252 bytes like every text of the logic.
#include "common/german_text.h"

#include <string>

namespace vistrel::publish_texts {

inline constexpr const char* kIncomplete =
    "Die Angaben für die Veröffentlichung des Fotoalbums sind nicht vollständig. Bitte tragen Sie die "
    "benötigten Angaben unter \"Einstellungen/Veröffentlichen\" ein.";
inline constexpr const char* kAskDeleteAll = "Wollen Sie wirklich alle Dateien auf dem Server löschen?";
inline constexpr const char* kAskDeleteRoot =
    "Achtung! Wollen Sie wirklich alle Dateien im Hauptverzeichnis Ihres Webservers und alle Dateien in "
    "alle Unterverzeichnissen löschen?";
inline constexpr const char* kConnecting = "Verbindung mit %s wird hergestellt.";
inline constexpr const char* kNoConnection = "Verbindung konnte nicht hergestellt werden.";
inline constexpr const char* kNotConnected = "nicht verbunden";
inline constexpr const char* kConnected = "Verbindung hergestellt";
inline constexpr const char* kClosed = "Verbindung beendet";
inline constexpr const char* kEnding = "Übertragung wird beendet";
inline constexpr const char* kDiskFullStatus = "Nicht genügend freier Speicherplatz auf dem Server";
inline constexpr const char* kDiskFullLog = "Nicht genügend Speicherplatz auf dem Server";
inline constexpr const char* kSucceeded = "Übertragung erfolgreich beendet";
inline constexpr const char* kFinished = "Übertragung zu %s in das Verzeichnis %s beendet.";
inline constexpr const char* kCancelled = "Übertragung abgebrochen";
inline constexpr const char* kDisconnected = "Verbindung getrennt";
inline constexpr const char* kTransfer = "Übertragung";
inline constexpr const char* kSkip = "Überspringe ";
inline constexpr const char* kSending = "Übertrage ";
inline constexpr const char* kChecking = "Verzeichnis auf dem Server wird geprüft";
inline constexpr const char* kCheckDone = "Verzeichnisprüfung abgeschlossen";
inline constexpr const char* kResend = "Erneute Übertragung: ";
inline constexpr const char* kFileList = "Dateiliste";
inline constexpr const char* kClimb = "Verzeichnis wechseln";
inline constexpr const char* kChangeDir = "Verzeichnis wird gewechselt";
inline constexpr const char* kFolderOk = "Verzeichnis Ok";
inline constexpr const char* kLost = "Verbindung zum Server verloren";
inline constexpr const char* kTooManyErrors = "Zu viele Übertragungsfehler. Übertragung abgebrochen.";
inline constexpr const char* kBadPassword = "Fehlerhaftes Passwort";
inline constexpr const char* kLoginFailed = "Verbindung fehlgeschlagen";
inline constexpr const char* kPassiveHint =
    "Es kann kein Datenverkehr mit dem Server aufgenommen werden. Versuchen Sie, in den Einstellungen für "
    "\"Veröffentlichen/FTP\" den Passive Mode abzuschalten.";
inline constexpr const char* kNoAlbum =
    "Es wurden kein Album gewählt, in dem Bilder vorhanden sind. Veröffentlichung abgebrochen.";
// Our own additions: a file the server refuses again and again, and a server listing that nests
// folders deeper than any site has them.
inline constexpr const char* kGivenUp = "Datei wird nicht mehr übertragen: ";
inline constexpr const char* kTooDeep = "Zu viele Verzeichnisebenen auf dem Server. Löschen abgebrochen.";
inline constexpr const char* kNoAnswer = "Der Server antwortet nicht.";
inline constexpr const char* kCheckImpossible =
    "Verzeichnisprüfung nicht möglich, die Dateien des Verzeichnisses wurden erneut übertragen";
inline constexpr const char* kListNotWritten = "Die Übertragungsliste transfer.lst konnte nicht geschrieben "
                                               "werden; beim nächsten Mal werden mehr Dateien "
                                               "übertragen.";
inline constexpr const char* kStillOpen = "Noch nicht übertragen oder geprüft: %s von %s Dateien";
inline constexpr const char* kNotCompleted = "Veröffentlichung nicht abgeschlossen";
inline constexpr const char* kEncrypted = "Verbindung verschlüsselt (%s)";
inline constexpr const char* kNotEncrypted = "Verbindung nicht verschlüsselt";
inline constexpr const char* kSessionsStarted = "Zusätzliche Verbindungen für dieses Verzeichnis: %s";
inline constexpr const char* kSessionEnded = "Zusätzliche Verbindung beendet: ";
inline constexpr const char* kConnectedEncrypted = "Verbindung hergestellt, verschlüsselt";
inline constexpr const char* kConnectedPlain = "Verbindung hergestellt, nicht verschlüsselt";
inline constexpr const char* kAskTrust =
    "Das Zertifikat des Servers %s ist nicht von einer bekannten Stelle bestätigt (%s).\n\n"
    "SHA-256-Fingerabdruck:\n%s\n\nVertrauen Sie diesem Zertifikat nur, wenn Ihr Anbieter Ihnen diesen "
    "Fingerabdruck genannt hat. Wollen Sie diesem Zertifikat vertrauen? Es wird dann für diesen Server "
    "gespeichert.";
inline constexpr const char* kEndTlsRefused =
    "Die Veröffentlichung wurde nicht abgeschlossen: Der Server %s bietet keine verschlüsselte Verbindung "
    "(FTPS) an, und unter \"Einstellungen/Veröffentlichen\" ist \"Nur verschlüsselt übertragen\" gewählt. "
    "Es wurde nichts übertragen.";
inline constexpr const char* kAskUnencrypted =
    "Der Server %s bietet keine Verschlüsselung an. Kennwort und Dateien unverschlüsselt übertragen?";
inline constexpr const char* kEndEncryptionDeclined =
    "Die Veröffentlichung wurde nicht abgeschlossen: Der Server %s bietet keine Verschlüsselung an, und "
    "die unverschlüsselte Übertragung wurde nicht erlaubt. Es wurde nichts übertragen.";
inline constexpr const char* kEndCertificate =
    "Die Veröffentlichung wurde nicht abgeschlossen: Dem Zertifikat des Servers %s wurde nicht vertraut "
    "(SHA-256-Fingerabdruck %s). Es wurde nichts übertragen.";

// The closing lines of a run that did not complete: what happened and what to do.
inline constexpr const char* kEndLoginFailed =
    "Die Veröffentlichung wurde nicht abgeschlossen: Die Verbindung zum Server %s konnte nicht hergestellt "
    "werden. Bitte prüfen Sie den Servernamen unter \"Einstellungen/Veröffentlichen\" und die "
    "Internetverbindung und starten Sie die Veröffentlichung erneut.";
inline constexpr const char* kEndBadPassword =
    "Die Veröffentlichung wurde nicht abgeschlossen: Der Server %s hat die Anmeldung abgelehnt. Bitte prüfen "
    "Sie Benutzername und Passwort unter \"Einstellungen/Veröffentlichen\".";
inline constexpr const char* kEndConnectionLost =
    "Die Veröffentlichung wurde nicht abgeschlossen: Der Server %s antwortet nicht oder nicht korrekt. Bitte "
    "starten Sie die Veröffentlichung später erneut; es werden dann nur die fehlenden Dateien übertragen.";
inline constexpr const char* kEndDiskFull =
    "Die Veröffentlichung wurde nicht abgeschlossen: Nicht genügend freier Speicherplatz auf dem Server. "
    "Bitte "
    "schaffen Sie Platz auf dem Server und starten Sie die Veröffentlichung erneut.";
inline constexpr const char* kEndRefused =
    "Die Veröffentlichung wurde nicht abgeschlossen: Der Server %s hat einen Befehl abgelehnt (Einzelheiten "
    "im "
    "FTP Protokoll). Bitte starten Sie die Veröffentlichung erneut; es werden dann nur die fehlenden Dateien "
    "übertragen.";
inline constexpr const char* kEndDeleteFailed = "Die Veröffentlichung wurde nicht abgeschlossen: Das "
                                                "Verzeichnis %s auf dem Server konnte nicht vollständig "
                                                "gelöscht werden (Einzelheiten im FTP Protokoll). Es wurden "
                                                "keine Dateien übertragen; beim nächsten Start "
                                                "werden alle Dateien übertragen.";
inline constexpr const char* kEndCancelled =
    "Übertragung abgebrochen. Beim nächsten Start werden nur die fehlenden Dateien übertragen.";

// SFTP: the server's host key and the key file's passphrase.
inline constexpr const char* kAskHostKey =
    "Der Server %s ist noch nicht bekannt. Sein Schlüssel (%s) hat den Fingerabdruck\n%s\n"
    "Vergleichen Sie ihn mit dem Fingerabdruck, den Ihr Anbieter nennt. Wollen Sie dem Server vertrauen "
    "und die Verbindung herstellen?";
inline constexpr const char* kAskChangedHostKey =
    "WARNUNG: Der Schlüssel des Servers %s hat sich geändert!\nBisher: %s\nJetzt: %s (%s)\n"
    "Das kann bedeuten, dass jemand die Verbindung belauscht oder umleitet. Vertrauen Sie dem neuen "
    "Schlüssel nur, wenn Ihr Anbieter den Wechsel bestätigt hat. Wollen Sie dem neuen Schlüssel "
    "vertrauen?";
inline constexpr const char* kPassphraseFor = "Passphrase für den Schlüssel %s:";
inline constexpr const char* kEndHostKeyUnknown =
    "Die Veröffentlichung wurde nicht abgeschlossen: Dem Schlüssel des Servers %s (Fingerabdruck %s) wurde "
    "nicht vertraut. Es wurde nichts übertragen.";
inline constexpr const char* kEndHostKeyChanged =
    "Die Veröffentlichung wurde nicht abgeschlossen: Der Schlüssel des Servers %s hat sich geändert "
    "(bisher %s, jetzt %s). Möglicherweise wird die Verbindung angegriffen. Es wurde weder ein Passwort "
    "noch ein Schlüssel angeboten und nichts übertragen.";

} // namespace vistrel::publish_texts
