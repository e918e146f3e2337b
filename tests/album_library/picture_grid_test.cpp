#include "album_library/picture_grid.h"

#include <gtest/gtest.h>

using namespace vistrel;

TEST(PictureGrid, LayoutRule) {
    EXPECT_EQ(GridColumns(700), 4);
    EXPECT_EQ(TilePosition(5, 4).left, 144);
    EXPECT_EQ(TilePosition(5, 4).top, 184);
    EXPECT_EQ(GridColumns(160), 1);
    EXPECT_EQ(GridColumns(159), 1);
    EXPECT_EQ(GridColumns(0), 1);
    EXPECT_EQ(GridColumns(296), 2);
    EXPECT_EQ(GridColumns(295), 1);
}

TEST(PictureGrid, ScaleFollowsTheLineHeightButNeverShrinks) {
    EXPECT_DOUBLE_EQ(GridScale(13), 1.0);
    EXPECT_DOUBLE_EQ(GridScale(9), 1.0) << "a small font keeps the 13-pixel layout";
    EXPECT_DOUBLE_EQ(GridScale(26), 2.0);
    EXPECT_EQ(ScaledPixels(kTileWidth, GridScale(26)), 256);
    EXPECT_EQ(ScaledPixels(13, GridScale(17)), 17) << "the caption line becomes the font's line";
    EXPECT_EQ(ScaledPixels(kTilePitchX, 0.5), kTilePitchX);
}

TEST(PictureGrid, ScaledLayoutKeepsTheRule) {
    // At scale 2 every measure doubles: five columns need 48 + 5 * 272 = 1408 pixels.
    EXPECT_EQ(GridColumns(1408, 2.0), 5);
    EXPECT_EQ(GridColumns(1407, 2.0), 4);
    EXPECT_EQ(GridColumns(319, 2.0), 1);
    EXPECT_EQ(TilePosition(5, 4, 2.0).left, 288);
    EXPECT_EQ(TilePosition(5, 4, 2.0).top, 368);
    // An odd scale rounds the pitch once: tile 40 of one column lies 40 whole pitches down.
    double scale = GridScale(17);
    int pitch = ScaledPixels(kTilePitchY, scale);
    EXPECT_EQ(pitch, 228);
    EXPECT_EQ(TilePosition(40, 1, scale).top, 40 * pitch + ScaledPixels(10, scale));
    EXPECT_EQ(TilePosition(3, 2, scale).left, ScaledPixels(kTilePitchX, scale) + ScaledPixels(8, scale));
}

TEST(PictureGrid, SelectionRuleWithShiftAndCtrl) {
    TPictureSelection s;
    s.Reset(10);
    s.ApplyRule(2, false, false);
    s.ApplyRule(7, true, false);
    EXPECT_EQ(s.Selected(), (std::vector<int>{2, 3, 4, 5, 6, 7}));
    s.ApplyRule(4, false, true);
    EXPECT_EQ(s.Selected(), (std::vector<int>{2, 3, 5, 6, 7}))
        << "Ctrl on a selected picture deselects only it";
    s.ApplyRule(9, false, true);
    EXPECT_EQ(s.Selected(), (std::vector<int>{2, 3, 5, 6, 7, 9}));
    s.ApplyRule(1, false, false);
    EXPECT_EQ(s.Selected(), std::vector<int>{1});
    // Shift backwards from the anchor 1 to 0 selects nothing strictly between, then 0 itself; without
    // Ctrl the rest is not cleared when Shift applies.
    s.ApplyRule(0, true, false);
    EXPECT_EQ(s.Selected(), (std::vector<int>{0, 1}));
    EXPECT_EQ(s.FirstSelected(), 0);
}

TEST(PictureGrid, KeyboardMovement) {
    struct Row {
        const char* name;
        std::optional<int> from;
        TGridKey key;
        int expected;
    };
    // 10 pictures in 4 columns: rows 0-3, 4-7, 8-9.
    const Row rows[] = {
        {"none counts as 0", std::nullopt, TGridKey::Right, 1},
        {"left clamps at 0", 0, TGridKey::Left, 0},
        {"up on the first row does nothing", 2, TGridKey::Up, 2},
        {"down into a short last row", 5, TGridKey::Down, 9},
        {"down past the end does nothing", 7, TGridKey::Down, 7},
        {"page down on the last row stays there", 9, TGridKey::PageDown, 9},
        {"page down from the first row", 1, TGridKey::PageDown, 9},
        {"page down from the middle row", 6, TGridKey::PageDown, 6},
        {"page up", 9, TGridKey::PageUp, 1},
        {"page up near the top", 3, TGridKey::PageUp, 3},
        {"end", 0, TGridKey::End, 9},
        {"home", 8, TGridKey::Home, 0},
        {"right clamps at the end", 9, TGridKey::Right, 9},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MoveKeyboardPosition(row.from, row.key, 10, 4), row.expected) << row.name;
}

TEST(PictureGrid, DragOrders) {
    std::vector<int> a{0, 1, 2, 3, 4, 5, 6};
    MoveItem(a, 2, 5);
    EXPECT_EQ(a, (std::vector<int>{0, 1, 3, 4, 5, 2, 6}));
    std::vector<int> b{0, 1, 2, 3, 4, 5, 6};
    MoveItem(b, 5, 2);
    EXPECT_EQ(b, (std::vector<int>{0, 1, 5, 2, 3, 4, 6}));
}
