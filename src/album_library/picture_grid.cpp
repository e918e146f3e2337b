#include "album_library/picture_grid.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

double GridScale(int lineHeight) {
    return std::max(1.0, static_cast<double>(lineHeight) / kBaseLineHeight);
}

int ScaledPixels(int pixels, double scale) {
    return static_cast<int>(std::lround(pixels * std::max(1.0, scale)));
}

int GridColumns(int gridWidth, double scale) {
    return std::max(1, (gridWidth - ScaledPixels(24, scale)) / ScaledPixels(kTilePitchX, scale));
}

TTilePosition TilePosition(int index, int columns, double scale) {
    // The pitch is rounded once, so tiles far down the grid keep the same spacing as the first ones.
    return {(index % columns) * ScaledPixels(kTilePitchX, scale) + ScaledPixels(8, scale),
            (index / columns) * ScaledPixels(kTilePitchY, scale) + ScaledPixels(10, scale)};
}

void TPictureSelection::Reset(int count) {
    selected_.assign(static_cast<size_t>(std::max(0, count)), false);
    anchor.reset();
    keyboardPosition.reset();
}

void TPictureSelection::ApplyRule(int k, bool shift, bool ctrl) {
    if (k < 0 || k >= Count()) return;
    if (shift && anchor && *anchor < Count()) {
        for (int i = std::min(*anchor, k) + 1; i < std::max(*anchor, k); ++i)
            SetSelected(i, true);
    } else if (!ctrl) {
        for (int i = 0; i < Count(); ++i)
            if (i != k) SetSelected(i, false);
    }
    SetSelected(k, !(ctrl && IsSelected(k)));
    anchor = k;
}

void TPictureSelection::SelectAll() {
    std::fill(selected_.begin(), selected_.end(), true);
}
void TPictureSelection::DeselectAll() {
    std::fill(selected_.begin(), selected_.end(), false);
}

std::vector<int> TPictureSelection::Selected() const {
    std::vector<int> result;
    for (int i = 0; i < Count(); ++i)
        if (IsSelected(i)) result.push_back(i);
    return result;
}

std::optional<int> TPictureSelection::FirstSelected() const {
    for (int i = 0; i < Count(); ++i)
        if (IsSelected(i)) return i;
    return std::nullopt;
}

int MoveKeyboardPosition(std::optional<int> position, TGridKey key, int count, int columns) {
    int p = position.value_or(0);
    switch (key) {
    case TGridKey::Right:
        ++p;
        break;
    case TGridKey::Left:
        --p;
        break;
    case TGridKey::Up:
        if (p - columns >= 0) p -= columns;
        break;
    case TGridKey::Down:
        if (p + columns < count) p += columns;
        break;
    case TGridKey::Home:
        p = 0;
        break;
    case TGridKey::End:
        p = count - 1;
        break;
    case TGridKey::PageUp:
        p -= 2 * columns;
        while (p < 0)
            p += columns;
        break;
    case TGridKey::PageDown:
        p += 2 * columns;
        while (p >= count)
            p -= columns;
        break;
    }
    return std::clamp(p, 0, count - 1);
}

} // namespace vistrel
