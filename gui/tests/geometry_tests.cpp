// Points, rectangles and colours: the two point tests, intersection and overlap.
#include "cview.h"
#include "viewtypes.h"

#include <gtest/gtest.h>

namespace QXAGUI {
namespace {

TEST(ViewRectTest, RightAndBottomEdgesAreOutsideTheRectanglesOwnTestButInsideAViews) {
    const ViewRect rect{10, 20, 30, 40};
    EXPECT_TRUE(rect.pointInside({10, 20}));
    EXPECT_FALSE(rect.pointInside({30, 25}));
    EXPECT_FALSE(rect.pointInside({15, 40}));

    CView* view = new CView(rect);
    EXPECT_TRUE(view->containsPoint({30, 40}));
    EXPECT_TRUE(view->containsPoint({10, 20}));
    EXPECT_FALSE(view->containsPoint({31, 40}));
    view->release();
}

TEST(ViewRectTest, DisjointRectanglesBoundToAnEmptyRectangleWithoutNegativeSize) {
    ViewRect rect{0, 0, 10, 10};
    rect.bound({20, 30, 40, 50});
    EXPECT_EQ(rect.width(), 0);
    EXPECT_EQ(rect.height(), 0);
    EXPECT_TRUE(rect.isEmpty());

    ViewRect overlap{0, 0, 10, 10};
    EXPECT_EQ(overlap.bound({5, -5, 20, 8}), (ViewRect{5, 0, 10, 8}));
}

TEST(ViewRectTest, RectanglesThatShareOnlyAnEdgeTouch) {
    const ViewRect rect{0, 0, 10, 10};
    EXPECT_TRUE(rect.touches({10, 0, 20, 10}));
    EXPECT_TRUE(rect.touches({10, 10, 20, 20}));
    EXPECT_FALSE(rect.touches({11, 0, 20, 10}));
}

TEST(ViewRectTest, NormalizedSwapsReversedCorners) {
    EXPECT_EQ((ViewRect{30, 40, 10, 20}.normalized()), (ViewRect{10, 20, 30, 40}));
}

TEST(ViewColorTest, SystemColorPutsRedInTheLowByte) {
    EXPECT_EQ((ViewColor{0x12, 0x34, 0x56, 0x78}.systemColor()), 0x563412u);
}

} // namespace
} // namespace QXAGUI
