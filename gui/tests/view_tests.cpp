// CView: reference counting, the background bitmap, attributes, wheel axes, cloning and repaint
// requests travelling up to the frame.
#include "cbitmap.h"
#include "cdrawcontext.h"
#include "gui_test_support.h"

namespace QXAGUI {
namespace {

using testing::FrameTest;

class ViewTest : public FrameTest {};

TEST_F(ViewTest, TheLastReleaseDeletesTheObject) {
    const int32_t before = CBaseObject::liveObjectCount();
    CView* view = new CView({0, 0, 10, 10});
    view->retain();
    EXPECT_EQ(view->referenceCount(), 2);
    view->release();
    EXPECT_EQ(CBaseObject::liveObjectCount(), before + 1);
    view->release();
    EXPECT_EQ(CBaseObject::liveObjectCount(), before);
}

TEST_F(ViewTest, TheBackgroundBitmapIsHeldWhileTheViewHoldsIt) {
    auto* first = new CBitmap(4, 4);
    auto* second = new CBitmap(4, 4);
    CView* view = new CView({0, 0, 10, 10});
    view->setBackdrop(first);
    EXPECT_EQ(first->referenceCount(), 2);
    view->setBackdrop(first); // the same bitmap again must not drop it
    EXPECT_EQ(first->referenceCount(), 2);
    view->setBackdrop(second);
    EXPECT_EQ(first->referenceCount(), 1);
    EXPECT_EQ(second->referenceCount(), 2);
    view->release();
    EXPECT_EQ(second->referenceCount(), 1);
    first->release();
    second->release();
}

TEST_F(ViewTest, AttributesAreCopiedGrownAndRefusedToSmallBuffers) {
    CView* view = new CView({0, 0, 10, 10});
    const char shortText[] = "abc";
    const char longText[] = "a longer text";
    ASSERT_TRUE(view->writeAttribute(7, sizeof shortText, shortText));
    ASSERT_TRUE(view->writeAttribute(9, 1, "x"));
    ASSERT_TRUE(view->writeAttribute(7, sizeof longText, longText));

    int32_t size = 0;
    ASSERT_TRUE(view->attributeSize(7, size));
    EXPECT_EQ(size, static_cast<int32_t>(sizeof longText));
    char buffer[32] = {};
    EXPECT_FALSE(view->readAttribute(7, 4, buffer, size));
    ASSERT_TRUE(view->readAttribute(7, sizeof buffer, buffer, size));
    EXPECT_STREQ(buffer, longText);

    EXPECT_TRUE(view->removeAttribute(7));
    EXPECT_FALSE(view->attributeSize(7, size));
    EXPECT_TRUE(view->attributeSize(9, size));
    view->release();
}

class WheelRecorder : public CView {
public:
    using CView::CView;
    bool scrollWheel(const ViewPoint&, float distance, const ButtonFlags&) override {
        distances.push_back(distance);
        return true;
    }
    std::vector<float> distances;
};

TEST_F(ViewTest, HorizontalWheelDistancesArriveNegated) {
    auto* view = new WheelRecorder({0, 0, 10, 10});
    view->scrollWheelAxis({1, 1}, 1, 2.0f, 0);
    view->scrollWheelAxis({1, 1}, 0, 2.0f, 0);
    EXPECT_EQ(view->distances, (std::vector<float>{2.0f, -2.0f}));
    view->release();
}

TEST_F(ViewTest, ACloneCopiesStateButIsDetachedAndShown) {
    auto* bitmap = new CBitmap(2, 2);
    CView* view = new CView({1, 2, 3, 4});
    view->setPointerArea({0, 0, 8, 8});
    view->setAcceptsMouse(false);
    view->setBackdrop(bitmap);
    view->writeAttribute(1, 2, "z");
    frame->appendChild(view);

    CView* copy = view->clone();
    EXPECT_EQ(copy->bounds(), view->bounds());
    EXPECT_EQ(copy->pointerArea(), (ViewRect{0, 0, 8, 8}));
    EXPECT_FALSE(copy->acceptsMouse());
    EXPECT_EQ(copy->backdrop(), bitmap);
    EXPECT_FALSE(copy->isAttached());
    EXPECT_EQ(copy->frame(), nullptr);
    int32_t size = 0;
    EXPECT_TRUE(copy->attributeSize(1, size));
    copy->release();
    bitmap->release();
}

TEST_F(ViewTest, ARepaintRequestReachesTheWindowInFrameCoordinates) {
    auto* group = new CViewContainer({100, 50, 200, 150}, frame);
    auto* view = new CView({10, 20, 30, 40});
    group->appendChild(view);
    frame->appendChild(group);
    window().invalidations.clear();

    view->requestRepaint();
    ASSERT_EQ(window().invalidations.size(), 1u);
    EXPECT_EQ(window().invalidations[0], (ViewRect{110, 70, 130, 90}));

    // Parts outside the container are cut away on the way up.
    window().invalidations.clear();
    view->requestRepaintArea({90, 90, 120, 120});
    ASSERT_EQ(window().invalidations.size(), 1u);
    EXPECT_EQ(window().invalidations[0], (ViewRect{190, 140, 200, 150}));

    view->setShown(false);
    window().invalidations.clear();
    view->requestRepaint();
    EXPECT_TRUE(window().invalidations.empty());
}

TEST_F(ViewTest, AViewOutsideAnyFrameRequestsNothing) {
    CView* view = new CView({0, 0, 10, 10});
    view->requestRepaint();
    EXPECT_TRUE(window().invalidations.empty());
    ViewRect visible{1, 1, 1, 1};
    view->visibleBounds(visible);
    EXPECT_EQ(visible, ViewRect());
    view->release();
}

TEST_F(ViewTest, ThePointerLocationIsInTheParentsCoordinates) {
    auto* group = new CViewContainer({100, 50, 200, 150}, frame);
    auto* view = new CView({10, 20, 30, 40});
    group->appendChild(view);
    frame->appendChild(group);
    window().screenOrigin = {300, 200};
    headless::setCursorScreenPosition({420, 275});

    auto* context = new CDrawContext(frame, nullptr, frame->systemWindow());
    ViewPoint where;
    view->pointerLocation(context, where);
    EXPECT_EQ(where, (ViewPoint{20, 25}));
    EXPECT_EQ(context->screenOffset(), (ViewPoint{300, 200}));
    context->release();

    ViewPoint origin;
    view->addFrameOrigin(origin);
    EXPECT_EQ(origin, (ViewPoint{110, 70}));
}

} // namespace
} // namespace QXAGUI
