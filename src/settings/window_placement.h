#pragma once
// Window placement as the settings file stores it: "FormVersion", "Flags", "ShowCmd",
// "PixelsPerInch", "MinMaxPos", "NormPos" and "Visible". How the numbers map onto real windows is the
// GUI's business; here they are plain numbers so logic and tests can handle them.
#include "settings/ini_file.h"

namespace vistrel {

struct TWindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

enum class TShowState { Normal, Minimized, Maximized };

struct TWindowPlacement {
    int flags = 0;
    TShowState show = TShowState::Normal;
    int minX = -1, minY = -1, maxX = -1, maxY = -1;
    TWindowRect normal;
};

// The screen the placement is read for or written on.
struct TScreenInfo {
    int width = 1024;
    int height = 768;
    int pixelsPerInch = 96;
};

// What a load found: the show state always; positions only when the stored "PixelsPerInch" matches
// the current screen; the rectangle only when its left edge is less than its right edge.
struct TLoadedPlacement {
    TShowState show = TShowState::Normal;
    bool hasPositions = false;
    bool hasRect = false;
    TWindowPlacement placement;
};

// Reads the placement keys of `section`; a missing key reads as 0.
TLoadedPlacement ReadPlacement(const TIniFile& ini, std::string_view section, const TScreenInfo& screen);

// Writes "FormVersion" and the placement keys in their stored order.
void WritePlacement(TIniFile& ini, std::string_view section, const TWindowPlacement& placement,
                    const TScreenInfo& screen);

// A stored "FormVersion" below 0 disables every load of its section.
bool SectionLoadAllowed(const TIniFile& ini, std::string_view section);

} // namespace vistrel
