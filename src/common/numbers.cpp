#include "common/numbers.h"

#include <QLocale>
#include <QString>

#include <cfenv>
#include <climits>
#include <cmath>

namespace vistrel {

int64_t Round(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even unless changed.
    return static_cast<int64_t>(std::nearbyint(value));
}

int64_t Trunc(double value) {
    return static_cast<int64_t>(std::trunc(value));
}

bool ParseInt(std::string_view text, int& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
        if (result > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) result = -result;
    if (result > INT_MAX || result < INT_MIN) return false;
    value = static_cast<int>(result);
    return true;
}

char DecimalSeparator() {
    QString point = QLocale().decimalPoint();
    if (point.size() != 1 || point.at(0).unicode() > 0x7F) return ',';
    return static_cast<char>(point.at(0).unicode());
}

} // namespace vistrel
