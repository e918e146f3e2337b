#pragma once
// Windows-1252 is the text of every file this program reads and writes. Logic keeps such text as
// std::string holding the file's bytes; only the ui/ and CLI edges convert, through these functions.
#include <QString>
#include <string>
#include <string_view>

namespace vistrel {

// Every byte maps to one character and back: the five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
QString AnsiToQString(std::string_view ansi);

// Characters Windows-1252 lacks become HTML numeric character references ("&#321;"), so nothing a
// user types is lost and a page shows it correctly (values go into pages unescaped).
std::string QStringToAnsi(const QString& text);

// For showing stored text: like AnsiToQString, and "&#N;" references are shown as their character.
QString AnsiToDisplay(std::string_view ansi);

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// Upper- and lower-case conversion of the 8-bit code page: ASCII letters, the accented letters of
// the Latin-1 range (not "ß", "µ", "×", "÷") and the four letter pairs of 0x8A-0x9F.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// Compares without regard to case (code-page upper case); true when equal.
bool AnsiSameText(std::string_view a, std::string_view b);
// Ordering without regard to case, for "as the folder listing returns it".
int AnsiCompareText(std::string_view a, std::string_view b);

} // namespace vistrel
