#pragma once
// The zoom rules of the picture view: the percent each mode gives for a view and a picture, the
// steps of "&Vergrößern" and "Ver&kleinern", the size of the zoomed picture and where it sits when
// centred. Plain arithmetic, so the editor, the gamma dialog and the tests share one copy.
#include <cstdint>

namespace vistrel {

enum TZoomMode { zmOriginalSize, zmFullPage, zmFitWidth, zmFitHeight, zmPercent, zmFitToPage };

struct TViewSize {
    int width = 0;
    int height = 0;
    bool operator==(const TViewSize&) const = default;
};

inline constexpr int kZoomStep = 25;
inline constexpr int kMinStepZoom = 25;
inline constexpr int kMaxStepZoom = 400;

// Round(current) + 25, at most 400; Round(current) - 25, at least 25.
int ZoomInPercent(float current);
int ZoomOutPercent(float current);

// Whether the mode hides both scroll bars whatever the zoomed size (the whole picture is meant to
// fit the view in that direction).
bool ModeHidesScrollBars(TZoomMode mode);

// Trunc(side · percent / 100), each side at least 1.
TViewSize DisplaySize(TViewSize picture, float percent);

// Trunc((view - display) / 2) when the display is narrower than the view, else 0.
int CentredOffset(int viewExtent, int displayExtent);

// The mode and percent of one picture view. The percent is single precision, as the view stores it.
class TViewZoom {
public:
    TZoomMode Mode() const { return mode_; }
    float Percent() const { return percent_; }
    void SetMode(TZoomMode mode) { mode_ = mode; }

    // Switches to zmPercent at `percent`; ignored (false) when already in zmPercent at that percent,
    // when the picture is empty, or when the percent is 0.1 or less.
    bool SetPercent(float percent, bool pictureEmpty);

    // The percent the mode gives for `client` (the view's inner size) and `picture`; zmPercent keeps
    // its value. Returns true when the percent changed, which is when the view reports a zoom change.
    bool Update(TViewSize client, TViewSize picture);

private:
    TZoomMode mode_ = zmOriginalSize;
    float percent_ = 100.0f;
};

} // namespace vistrel
