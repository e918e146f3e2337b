#pragma once
// The thumbnail grid's rules without any widget: layout, the selection rule with Shift and Ctrl,
// keyboard movement and reordering by drag. The main window's tiles follow this model.
#include <optional>
#include <vector>

namespace vistrel {

// The grid's measures for a caption line of 13 pixels. With another font they grow by the ratio of its
// line height to 13 (never shrink), so every caption keeps its whole line; the rules stay the same.
constexpr int kTileWidth = 128;
constexpr int kTileHeight = 166;
constexpr int kTilePitchX = 136;
constexpr int kTilePitchY = 174;
constexpr int kBaseLineHeight = 13;

// The factor for a font whose line is `lineHeight` pixels high: lineHeight / 13, at least 1.
double GridScale(int lineHeight);
// A measure of the 13-pixel layout at `scale`, rounded to whole pixels.
int ScaledPixels(int pixels, double scale);

struct TTilePosition {
    int left = 0;
    int top = 0;
};

// (width - 24) / 136, at least 1; every measure taken at `scale`.
int GridColumns(int gridWidth, double scale = 1.0);
// Where tile `index` goes, before subtracting the grid's vertical scroll position.
TTilePosition TilePosition(int index, int columns, double scale = 1.0);

enum class TGridKey { Left, Right, Up, Down, Home, End, PageUp, PageDown };

class TPictureSelection {
public:
    void Reset(int count);
    int Count() const { return static_cast<int>(selected_.size()); }

    bool IsSelected(int index) const { return selected_.at(static_cast<size_t>(index)); }
    void SetSelected(int index, bool selected) { selected_.at(static_cast<size_t>(index)) = selected; }
    // Shift with an anchor selects everything strictly between the anchor and k; without Ctrl every
    // other picture is deselected; Ctrl toggles k, otherwise k is selected; k becomes the anchor.
    void ApplyRule(int k, bool shift, bool ctrl);
    void SelectAll();
    void DeselectAll();

    std::vector<int> Selected() const;
    std::optional<int> FirstSelected() const;

    std::optional<int> anchor;
    std::optional<int> keyboardPosition;

private:
    std::vector<bool> selected_;
};

// The keyboard position after a key, clamped to 0..count-1 (none counts as 0). Count must be > 0.
int MoveKeyboardPosition(std::optional<int> position, TGridKey key, int count, int columns);

// Moves element `from` to index `to`, shifting the ones between. A dragged item dropped on item
// `target` lands after it when it came from before it and before it otherwise: in both cases its new
// index is `target`.
template <typename T> void MoveItem(std::vector<T>& items, int from, int to) {
    if (from == to) return;
    T item = std::move(items[static_cast<size_t>(from)]);
    items.erase(items.begin() + from);
    items.insert(items.begin() + to, std::move(item));
}

} // namespace vistrel
