#include "album_library/picture_grid.h"

#include <algorithm>

namespace vistrel {

int GridColumns(int gridWidth) { return std::max(1, (gridWidth - 24) / kTilePitchX); }

TTilePosition TilePosition(int index, int columns) {
    return {(index % columns) * kTilePitchX + 8, (index / columns) * kTilePitchY + 10};
}

void TPictureSelection::Reset(int count) {
    selected_.assign(static_cast<size_t>(std::max(0, count)), false);
    anchor.reset();
    keyboardPosition.reset();
}

void TPictureSelection::ApplyRule(int k, bool shift, bool ctrl) {
    if (k < 0 || k >= Count()) return;
    if (shift && anchor && *anchor < Count()) {
        for (int i = std::min(*anchor, k) + 1; i < std::max(*anchor, k); ++i) SetSelected(i, true);
    } else if (!ctrl) {
        for (int i = 0; i < Count(); ++i)
            if (i != k) SetSelected(i, false);
    }
    SetSelected(k, !(ctrl && IsSelected(k)));
    anchor = k;
}

void TPictureSelection::SelectAll() { std::fill(selected_.begin(), selected_.end(), true); }
void TPictureSelection::DeselectAll() { std::fill(selected_.begin(), selected_.end(), false); }

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
    case TGridKey::Right: ++p; break;
    case TGridKey::Left: --p; break;
    case TGridKey::Up:
        if (p - columns >= 0) p -= columns;
        break;
    case TGridKey::Down:
        if (p + columns < count) p += columns;
        break;
    case TGridKey::Home: p = 0; break;
    case TGridKey::End: p = count - 1; break;
    case TGridKey::PageUp:
        p -= 2 * columns;
        while (p < 0) p += columns;
        break;
    case TGridKey::PageDown:
        p += 2 * columns;
        while (p >= count) p -= columns;
        break;
    }
    return std::clamp(p, 0, count - 1);
}

} // namespace vistrel
