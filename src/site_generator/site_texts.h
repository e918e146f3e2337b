#pragma once
// The site generator's texts as the user reads them (messages, progress steps, the lines every
// page receives). They are written here in UTF-8 and handed out as Windows-1252 bytes through
// Text(), like every text of the logic.
#include "common/german_text.h"

namespace vistrel::site_texts {

// Site builder
inline constexpr const char* kNoAlbum = "Es ist kein Album ausgewählt.";
inline constexpr const char* kStyleStep = "Verarbeite Dateien der Stilvorlage";
inline constexpr const char* kOverviewStep = "Erzeuge Übersichtsseiten";
inline constexpr const char* kPictureStep = "Erzeuge Bildseiten";
inline constexpr const char* kOutsideAlbum =
    "Der Ordner des Albums „%s“ ist ein Verweis auf einen Ort außerhalb des Albenverzeichnisses. "
    "Das Album wird nicht veröffentlicht und nicht auf CD-ROM kopiert.";
inline constexpr const char* kPageCut =
    "Die Seite %s des Styles „%s“ ist unvollständig: die Vorlage erzeugt zu viel Text (zu tief "
    "verschachtelte oder sich selbst einbindende Vorlagen?).";
inline constexpr const char* kNoStartPage =
    "Es wurde keine Seite erstellt: kein veröffentlichtes Album enthält Bilder.";
inline constexpr const char* kWriteFailed =
    "Die Seiten konnten nicht geschrieben werden (Schreibschutz oder kein Speicherplatz mehr?).";

// The lines every generated page receives
inline constexpr const char* kApplicationTitle = "Vantro® Vistrel";
inline constexpr const char* kCopyrightMeta =
    "<meta NAME=\"Copyright\" CONTENT=\"Erstellt mit %s Version %s- "
    "Bilder und Texte: Copyright beim Autor dieser Website\">";
inline constexpr const char* kLegalMeta =
    "<meta NAME=\"Legal\" CONTENT=\"Alle Bilder und Texte dieser Seiten sind urheberrechtlich geschützt.\">";
inline constexpr const char* kGeneratorComment = "<!-- Erzeugt mit %s Version %s-->";
inline constexpr const char* kCopyrightComment =
    "<!-- Copyright: Weitergabe der Bilder und Texte nur mit Zustimmung des Autors -->";

// CD-ROM export
inline constexpr const char* kCdromSummary = "%s Verzeichnisse mit %s Dateien und %s MBytes werden kopiert.";
inline constexpr const char* kCdromNoTarget = "Bitte geben Sie ein Ausgabeverzeichnis an!";
inline constexpr const char* kCdromCopied =
    "Alle benötigten Dateien wurden zusammengestellt. Kopieren Sie die Dateien aus dem Verzeichnis %s in "
    "das Stammverzeichnis der CD.";
inline constexpr const char* kCdromNoSpace =
    "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte stellen Sie sicher, dass genügend "
    "Speicherplatz vorhanden ist.";
inline constexpr const char* kCdromFailed =
    "Beim Kopieren der Dateien ist ein Fehler aufgetreten. Bitte prüfen Sie, ob im Verzeichnis %s Ordner "
    "und Dateien angelegt werden können.";
inline constexpr const char* kCdromNotAllowed =
    "Das Ausgabeverzeichnis %s liegt im Programmverzeichnis oder enthält es. Bitte wählen Sie ein anderes "
    "Verzeichnis, damit die Alben und Einstellungen nicht überschrieben werden.";

// Renditions
inline constexpr const char* kRenditionStep = "Erzeuge Bildfassungen für die Website";
inline constexpr const char* kRenditionFailed =
    "Das Bild %s konnte nicht für die Website verkleinert werden; die Seiten zeigen es unverkleinert (%s).";
inline constexpr const char* kPictureOf = "Bild %s von %s";

} // namespace vistrel::site_texts
