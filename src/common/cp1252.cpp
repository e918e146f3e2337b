#include "common/cp1252.h"

#include <QList>

#include <array>

namespace vistrel {
namespace {

// Unicode code points of the bytes 0x80-0x9F; the rest of the byte range is Latin-1 as it is.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t ByteToChar(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
    return b;
}

// Returns -1 for a character that Windows-1252 cannot hold.
int CharToByte(uint c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == c) return 0x80 + i;
    return -1;
}

void AppendReference(std::string& out, uint c) {
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(c));
    out += ';';
}

} // namespace

QString AnsiToQString(std::string_view ansi) {
    QString result;
    result.reserve(static_cast<qsizetype>(ansi.size()));
    for (unsigned char b : ansi)
        result.append(QChar(ByteToChar(b)));
    return result;
}

std::string QStringToAnsi(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (uint c : text.toUcs4()) {
        int b = CharToByte(c);
        if (b >= 0)
            out += static_cast<char>(b);
        else
            AppendReference(out, c);
    }
    return out;
}

QString AnsiToDisplay(std::string_view ansi) {
    QString result;
    size_t i = 0;
    while (i < ansi.size()) {
        if (ansi[i] == '&' && i + 2 < ansi.size() && ansi[i + 1] == '#') {
            size_t j = i + 2;
            char32_t value = 0;
            while (j < ansi.size() && j - i < 10 && ansi[j] >= '0' && ansi[j] <= '9')
                value = value * 10 + static_cast<char32_t>(ansi[j++] - '0');
            if (j > i + 2 && j < ansi.size() && ansi[j] == ';' && value > 0 && value <= 0x10FFFF &&
                !(value >= 0xD800 && value <= 0xDFFF)) {
                result.append(QString::fromUcs4(&value, 1));
                i = j + 1;
                continue;
            }
        }
        result.append(QChar(ByteToChar(static_cast<unsigned char>(ansi[i]))));
        ++i;
    }
    return result;
}

std::string AnsiToUtf8(std::string_view ansi) {
    return AnsiToDisplay(ansi).toStdString();
}

std::string Utf8ToAnsi(std::string_view utf8) {
    return QStringToAnsi(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

char AnsiUpperChar(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
    if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 32);
    switch (b) {
    case 0x9A:
        return static_cast<char>(0x8A); // š
    case 0x9C:
        return static_cast<char>(0x8C); // œ
    case 0x9E:
        return static_cast<char>(0x8E); // ž
    case 0xFF:
        return static_cast<char>(0x9F); // ÿ
    default:
        return c;
    }
}

char AnsiLowerChar(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
    if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 32);
    switch (b) {
    case 0x8A:
        return static_cast<char>(0x9A);
    case 0x8C:
        return static_cast<char>(0x9C);
    case 0x8E:
        return static_cast<char>(0x9E);
    case 0x9F:
        return static_cast<char>(0xFF);
    default:
        return c;
    }
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AnsiUpperChar(c);
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AnsiLowerChar(c);
    return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(AnsiUpperChar(a[i]));
        auto y = static_cast<unsigned char>(AnsiUpperChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

} // namespace vistrel
