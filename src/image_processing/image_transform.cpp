#include "image_processing/image_transform.h"

#include "common/text_utils.h"

#include <algorithm>

namespace vistrel {

void TImageTransform::Apply(TDibGraphic& graphic) {
    TDibGraphic temporary;
    ApplyOnDest(graphic, temporary);
    graphic.TakeImageFrom(temporary);
}

void TImageTransform::ApplyOnDest(const TDibGraphic&, TDibGraphic&) {
    throw EImageError(
        FormatMessage("Method %s not implemented for %s class", {"\"ApplyOnDest\"", ClassName()}));
}

void TImageTransform::ReportProgress(int64_t current, int64_t minimum, int64_t maximum) {
    if (!OnProgress) return;
    int64_t percent =
        maximum <= minimum ? 0 : std::clamp<int64_t>((current - minimum) * 100 / (maximum - minimum), 0, 100);
    if (percent == lastPercent_) return;
    lastPercent_ = uint8_t(percent);
    OnProgress(uint8_t(percent));
}

} // namespace vistrel
