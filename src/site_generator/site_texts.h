#pragma once
// German texts of the site generator, UTF-8; every one reaches the logic through Text().
namespace vistrel::site_texts {

inline constexpr const char* kRenditionStep = "Erzeuge Bildfassungen für die Website";
inline constexpr const char* kRenditionFailed =
    "Das Bild %s konnte nicht für die Website verkleinert werden; die Seiten zeigen es unverkleinert (%s).";
inline constexpr const char* kPictureOf = "Bild %s von %s";

} // namespace vistrel::site_texts
