#include "scanner/scan_options.h"

#include "common/cp1252.h"
#include "common/text_utils.h"
#include "scanner/scanner_error.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vistrel {

namespace {

TScanOptionKind KindOf(SANE_Value_Type type) {
    switch (type) {
    case SANE_TYPE_BOOL:
        return TScanOptionKind::Bool;
    case SANE_TYPE_INT:
        return TScanOptionKind::Int;
    case SANE_TYPE_FIXED:
        return TScanOptionKind::Fixed;
    case SANE_TYPE_STRING:
        return TScanOptionKind::String;
    case SANE_TYPE_BUTTON:
        return TScanOptionKind::Button;
    default:
        return TScanOptionKind::Group;
    }
}

TScanUnit UnitOf(SANE_Unit unit) {
    switch (unit) {
    case SANE_UNIT_PIXEL:
        return TScanUnit::Pixel;
    case SANE_UNIT_BIT:
        return TScanUnit::Bit;
    case SANE_UNIT_MM:
        return TScanUnit::Millimetre;
    case SANE_UNIT_DPI:
        return TScanUnit::Dpi;
    case SANE_UNIT_PERCENT:
        return TScanUnit::Percent;
    case SANE_UNIT_MICROSECOND:
        return TScanUnit::Microsecond;
    default:
        return TScanUnit::None;
    }
}

// Int and Fixed words share one storage type; only the scale differs.
double WordValue(SANE_Word word, TScanOptionKind kind) {
    return kind == TScanOptionKind::Fixed ? SANE_UNFIX(word) : double(word);
}

SANE_Word ToWord(double value, TScanOptionKind kind) {
    return kind == TScanOptionKind::Fixed ? SANE_FIX(value) : SANE_Word(std::lround(value));
}

void ReadConstraint(const SANE_Option_Descriptor& d, TScanOption& option) {
    if (d.constraint_type == SANE_CONSTRAINT_RANGE && d.constraint.range) {
        option.hasRange = true;
        option.minimum = WordValue(d.constraint.range->min, option.kind);
        option.maximum = WordValue(d.constraint.range->max, option.kind);
        option.quant = WordValue(d.constraint.range->quant, option.kind);
    } else if (d.constraint_type == SANE_CONSTRAINT_WORD_LIST && d.constraint.word_list) {
        // The first word is the number of words that follow.
        for (SANE_Int i = 1; i <= d.constraint.word_list[0]; ++i)
            option.choices.push_back(FormatScanNumber(WordValue(d.constraint.word_list[i], option.kind)));
    } else if (d.constraint_type == SANE_CONSTRAINT_STRING_LIST && d.constraint.string_list) {
        for (const SANE_String_Const* s = d.constraint.string_list; *s; ++s)
            option.choices.emplace_back(*s);
    }
}

std::string ReadValue(SANE_Handle handle, const TScanOption& option, size_t size) {
    if (!option.active || option.kind == TScanOptionKind::Button || option.kind == TScanOptionKind::Group ||
        size == 0)
        return {};
    std::vector<char> buffer(size + 1, '\0');
    if (sane_control_option(handle, option.index, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) !=
        SANE_STATUS_GOOD)
        return {};
    if (option.kind == TScanOptionKind::String) return std::string(buffer.data());
    SANE_Word word;
    std::memcpy(&word, buffer.data(), sizeof word);
    if (option.kind == TScanOptionKind::Bool) return word ? "true" : "false";
    return FormatScanNumber(WordValue(word, option.kind));
}

bool ParseBool(const std::string& text, bool& value) {
    std::string t = AnsiLowerCase(Trim(text));
    if (t == "true" || t == "yes" || t == "1" || t == "ja") return value = true, true;
    if (t == "false" || t == "no" || t == "0" || t == "nein") return value = false, true;
    return false;
}

[[noreturn]] void InvalidValue(const TScanOption& option, const std::string& text) {
    throw ETwainError("Invalid value \"" + text + "\" for option " + option.name, SANE_STATUS_INVAL);
}

} // namespace

std::string FormatScanNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

bool ParseScanNumber(const std::string& text, double& value) {
    std::string number = Trim(text);
    for (char& c : number)
        if (c == ',') c = '.';
    const char* end = number.data() + number.size();
    auto [stop, error] = std::from_chars(number.data(), end, value);
    return !number.empty() && error == std::errc() && stop == end && std::isfinite(value);
}

std::string SaneStatusText(SANE_Status status) {
    return sane_strstatus(status);
}

std::vector<TScanOption> ReadScanOptions(SANE_Handle handle) {
    std::vector<TScanOption> options;
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (!d) break;
        TScanOption option;
        option.index = i;
        option.name = d->name ? d->name : "";
        option.title = Utf8ToAnsi(d->title ? d->title : "");
        option.kind = KindOf(d->type);
        option.unit = UnitOf(d->unit);
        option.active = SANE_OPTION_IS_ACTIVE(d->cap);
        option.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        if (option.kind == TScanOptionKind::Int || option.kind == TScanOptionKind::Fixed ||
            option.kind == TScanOptionKind::Bool)
            option.valueCount = std::max<int>(1, d->size / int(sizeof(SANE_Word)));
        ReadConstraint(*d, option);
        option.value = ReadValue(handle, option, size_t(std::max<SANE_Int>(d->size, 0)));
        options.push_back(std::move(option));
    }
    return options;
}

const TScanOption* FindScanOption(const std::vector<TScanOption>& options, std::string_view name) {
    for (const TScanOption& option : options)
        if (option.name == name) return &option;
    return nullptr;
}

void SetScanOption(SANE_Handle handle, const TScanOption& option, const std::string& text) {
    if (!option.settable || !option.active)
        throw ETwainError("The option " + option.name + " cannot be set now", SANE_STATUS_INVAL);
    SANE_Status status = SANE_STATUS_GOOD;
    SANE_Int info = 0;
    switch (option.kind) {
    case TScanOptionKind::String: {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        status = sane_control_option(handle, option.index, SANE_ACTION_SET_VALUE, buffer.data(), &info);
        break;
    }
    case TScanOptionKind::Bool:
    case TScanOptionKind::Int:
    case TScanOptionKind::Fixed: {
        double number = 0;
        bool flag = false;
        if (option.kind == TScanOptionKind::Bool ? !ParseBool(text, flag) : !ParseScanNumber(text, number))
            InvalidValue(option, text);
        SANE_Word word = option.kind == TScanOptionKind::Bool ? (flag ? SANE_TRUE : SANE_FALSE)
                                                              : ToWord(number, option.kind);
        std::vector<SANE_Word> words(size_t(option.valueCount), word);
        status = sane_control_option(handle, option.index, SANE_ACTION_SET_VALUE, words.data(), &info);
        break;
    }
    case TScanOptionKind::Button:
        status = sane_control_option(handle, option.index, SANE_ACTION_SET_VALUE, nullptr, &info);
        break;
    case TScanOptionKind::Group:
        InvalidValue(option, text);
    }
    if (status == SANE_STATUS_INVAL) InvalidValue(option, text);
    if (status != SANE_STATUS_GOOD)
        throw ETwainError("Unable to set option " + option.name + ": " + SaneStatusText(status), status);
}

} // namespace vistrel
