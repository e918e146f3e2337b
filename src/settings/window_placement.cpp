#include "settings/window_placement.h"

#include "common/numbers.h"

#include <cstdio>

namespace vistrel {
namespace {

int ReadNumber(const TIniFile& ini, std::string_view section, std::string_view key) {
    int value = 0;
    auto text = ini.Read(section, key);
    if (!text || !ParseInt(*text, value)) return 0;
    return value;
}

std::string ScreenSuffix(const TScreenInfo& screen) {
    return "(" + std::to_string(screen.width) + "x" + std::to_string(screen.height) + ")";
}

// The key with the current screen size first, then the plain key.
std::optional<std::string> ReadScreenKey(const TIniFile& ini, std::string_view section,
                                         const std::string& key, const TScreenInfo& screen) {
    if (auto value = ini.Read(section, key + ScreenSuffix(screen))) return value;
    return ini.Read(section, key);
}

// Reads "%d,%d,%d,%d"; false when the text does not hold four numbers.
bool ParseFour(const std::string& text, int out[4]) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%d,%d,%d,%d%c", &out[0], &out[1], &out[2], &out[3], &tail) == 4;
}

std::string FormatFour(int a, int b, int c, int d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

TShowState ShowStateFromCmd(int cmd) {
    switch (cmd) {
    case 2:
    case 6:
    case 7:
        return TShowState::Minimized;
    case 3:
        return TShowState::Maximized;
    default:
        return TShowState::Normal;
    }
}

int ShowCmdFromState(TShowState state) {
    switch (state) {
    case TShowState::Minimized:
        return 2;
    case TShowState::Maximized:
        return 3;
    default:
        return 1;
    }
}

} // namespace

bool SectionLoadAllowed(const TIniFile& ini, std::string_view section) {
    return ReadNumber(ini, section, "FormVersion") >= 0;
}

TLoadedPlacement ReadPlacement(const TIniFile& ini, std::string_view section, const TScreenInfo& screen) {
    TLoadedPlacement result;
    result.placement.flags = ReadNumber(ini, section, "Flags");
    result.show = ShowStateFromCmd(ReadNumber(ini, section, "ShowCmd"));
    result.placement.show = result.show;
    if (ReadNumber(ini, section, "PixelsPerInch") != screen.pixelsPerInch) return result;
    int four[4];
    auto minMax = ReadScreenKey(ini, section, "MinMaxPos", screen);
    if (minMax && ParseFour(*minMax, four)) {
        result.hasPositions = true;
        result.placement.minX = four[0];
        result.placement.minY = four[1];
        result.placement.maxX = four[2];
        result.placement.maxY = four[3];
    }
    auto norm = ReadScreenKey(ini, section, "NormPos", screen);
    if (norm && ParseFour(*norm, four) && four[0] < four[2]) {
        result.hasRect = true;
        result.placement.normal = {four[0], four[1], four[2], four[3]};
    }
    return result;
}

void WritePlacement(TIniFile& ini, std::string_view section, const TWindowPlacement& placement,
                    const TScreenInfo& screen) {
    ini.Write(section, "FormVersion", "0");
    ini.Write(section, "Flags", std::to_string(placement.flags));
    ini.Write(section, "ShowCmd", std::to_string(ShowCmdFromState(placement.show)));
    ini.Write(section, "PixelsPerInch", std::to_string(screen.pixelsPerInch));
    std::string minMax = FormatFour(placement.minX, placement.minY, placement.maxX, placement.maxY);
    const TWindowRect& r = placement.normal;
    std::string norm = FormatFour(r.left, r.top, r.right, r.bottom);
    ini.Write(section, "MinMaxPos" + ScreenSuffix(screen), minMax);
    ini.Write(section, "MinMaxPos", minMax);
    ini.Write(section, "NormPos" + ScreenSuffix(screen), norm);
    ini.Write(section, "NormPos", norm);
    ini.Write(section, "Visible", "0");
}

} // namespace vistrel
