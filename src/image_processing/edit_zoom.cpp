#include "image_processing/edit_zoom.h"

#include "common/numbers.h"

#include <algorithm>

namespace vistrel {

int ZoomInPercent(float current) {
    return static_cast<int>(std::min<int64_t>(Round(current) + kZoomStep, kMaxStepZoom));
}

int ZoomOutPercent(float current) {
    return static_cast<int>(std::max<int64_t>(Round(current) - kZoomStep, kMinStepZoom));
}

bool ModeHidesScrollBars(TZoomMode mode) {
    return mode == zmFullPage || mode == zmFitToPage || mode == zmFitHeight;
}

TViewSize DisplaySize(TViewSize picture, float percent) {
    auto side = [percent](int length) {
        return static_cast<int>(std::max<int64_t>(1, Trunc(double(length) * double(percent) / 100.0)));
    };
    return {side(picture.width), side(picture.height)};
}

int CentredOffset(int viewExtent, int displayExtent) {
    return displayExtent < viewExtent ? (viewExtent - displayExtent) / 2 : 0;
}

bool TViewZoom::SetPercent(float percent, bool pictureEmpty) {
    if ((mode_ == zmPercent && percent_ == percent) || pictureEmpty || percent <= 0.1f) return false;
    mode_ = zmPercent;
    percent_ = percent;
    return true;
}

bool TViewZoom::Update(TViewSize client, TViewSize picture) {
    if (picture.width <= 0 || picture.height <= 0) return false;
    float byWidth = 100.0f * float(client.width) / float(picture.width);
    float byHeight = 100.0f * float(client.height) / float(picture.height);
    float percent = percent_;
    switch (mode_) {
    case zmOriginalSize:
        percent = 100.0f;
        break;
    case zmFullPage:
        percent = std::min(byWidth, byHeight);
        break;
    case zmFitToPage:
        percent = std::min({byWidth, byHeight, 100.0f});
        break;
    case zmFitWidth:
        percent = byWidth;
        break;
    case zmFitHeight:
        percent = byHeight;
        break;
    case zmPercent:
        break;
    }
    // A view not laid out yet has no size; a percent of 0 would make every later step meaningless.
    if (percent <= 0.0f) return false;
    bool changed = percent != percent_;
    percent_ = percent;
    return changed;
}

} // namespace vistrel
