// CViewContainer: the child list and its references, resizing by flags, painting order and
// clipping, the backdrop, pointer routing, focus order and coordinates.
#include "cbitmap.h"
#include "cdrawcontext.h"
#include "gui_test_support.h"

namespace QXAGUI {
namespace {

using testing::FrameTest;

// A control that records the pointer events and paints reach it.
class ProbeControl : public CControl {
public:
    ProbeControl(const ViewRect& bounds, CControlListener* listener, int32_t tag)
        : CControl(bounds, listener, tag) {}
    void paint(CDrawContext* context) override {
        ++paints;
        context->fillRectangle(bounds_);
        markNeedsRepaint(false);
    }
    CView* clone() const override { return new ProbeControl(bounds_, listener_, tag_); }
    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override {
        downs.push_back(point);
        lastButtons = buttons;
        return reply;
    }
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags&) override {
        moves.push_back(point);
        return Taken;
    }
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags&) override {
        ups.push_back(point);
        return Taken;
    }
    int32_t paints = 0;
    PointerReply reply = Taken;
    ButtonFlags lastButtons = 0;
    std::vector<ViewPoint> downs, moves, ups;
};

class ContainerTest : public FrameTest {
protected:
    ProbeControl* probe(const ViewRect& bounds, int32_t tag = 0) {
        return new ProbeControl(bounds, &listener, tag);
    }
};

TEST_F(ContainerTest, AnAppendedViewIsDestroyedByRemoveChildWithRelease) {
    const int32_t before = CBaseObject::liveObjectCount();
    CView* view = new CView({0, 0, 10, 10});
    ASSERT_TRUE(frame->appendChild(view));
    EXPECT_EQ(view->referenceCount(), 2);
    EXPECT_TRUE(view->isAttached());
    EXPECT_EQ(view->frame(), frame);
    EXPECT_TRUE(frame->removeChild(view, true));
    EXPECT_EQ(CBaseObject::liveObjectCount(), before);
}

TEST_F(ContainerTest, AMissingOrAlreadyAttachedViewIsRefused) {
    CView* view = new CView({0, 0, 10, 10});
    auto* group = new CViewContainer({0, 0, 50, 50}, frame);
    frame->appendChild(group);
    EXPECT_FALSE(frame->appendChild(nullptr));
    ASSERT_TRUE(group->appendChild(view));
    EXPECT_FALSE(frame->appendChild(view));
    EXPECT_FALSE(frame->removeChild(view)); // not a direct child of the frame
    EXPECT_EQ(frame->childCount(), 1);
}

TEST_F(ContainerTest, ChildrenKeepTheirOrderAndTheTopmostShownChildIsHit) {
    CView* bottom = new CView({0, 0, 50, 50});
    CView* top = new CView({25, 25, 75, 75});
    CView* middle = new CView({0, 0, 60, 60});
    frame->appendChild(bottom);
    frame->appendChild(top);
    frame->insertChildBefore(middle, top);
    EXPECT_EQ(frame->childAt(0), bottom);
    EXPECT_EQ(frame->childAt(1), middle);
    EXPECT_EQ(frame->childAt(2), top);
    EXPECT_EQ(frame->childAt(3), nullptr);

    EXPECT_EQ(frame->childAtPoint({30, 30}), top);
    top->setShown(false);
    EXPECT_EQ(frame->childAtPoint({30, 30}), middle);
    EXPECT_EQ(frame->childAtPoint({100, 100}), nullptr);
}

TEST_F(ContainerTest, ADeepSearchAsksAContainerChildWhichMayAnswerNone) {
    auto* group = new CViewContainer({100, 100, 200, 200}, frame);
    CView* inner = new CView({10, 10, 20, 20});
    group->appendChild(inner);
    frame->appendChild(group);
    EXPECT_EQ(frame->childAtPoint({115, 115}, true), inner);
    EXPECT_EQ(frame->childAtPoint({150, 150}, true), nullptr);
    EXPECT_EQ(frame->childAtPoint({150, 150}, false), group);
    EXPECT_EQ(frame->containerAtPoint({150, 150}, true), group);
}

TEST_F(ContainerTest, SpreadColumnsSharesTheGrowthAmongTheChildren) {
    auto* group = new CViewContainer({0, 0, 90, 30}, frame);
    group->setResizeFlags(SpreadColumns);
    CView* columns[3];
    for (int i = 0; i < 3; ++i) {
        columns[i] = new CView({30 * i, 0, 30 * i + 30, 30});
        group->appendChild(columns[i]);
    }
    frame->appendChild(group);
    group->setBounds({0, 0, 100, 30});
    EXPECT_EQ(columns[0]->bounds(), (ViewRect{0, 0, 33, 30}));
    EXPECT_EQ(columns[1]->bounds(), (ViewRect{33, 0, 66, 30}));
    EXPECT_EQ(columns[2]->bounds(), (ViewRect{66, 0, 99, 30}));
    EXPECT_EQ(columns[2]->pointerArea(), columns[2]->bounds());
}

TEST_F(ContainerTest, FollowFlagsMoveOrStretchAChild) {
    auto* group = new CViewContainer({0, 0, 100, 100}, frame);
    CView* anchored = new CView({80, 80, 90, 90});
    anchored->setResizeFlags(FollowRight | FollowBottom);
    CView* stretched = new CView({10, 10, 90, 20});
    stretched->setResizeFlags(FollowLeft | FollowRight);
    CView* fixed = new CView({10, 30, 20, 40});
    for (CView* view : {anchored, stretched, fixed})
        group->appendChild(view);
    frame->appendChild(group);
    group->setBounds({0, 0, 120, 110});
    EXPECT_EQ(anchored->bounds(), (ViewRect{100, 90, 110, 100}));
    EXPECT_EQ(stretched->bounds(), (ViewRect{10, 10, 110, 20}));
    EXPECT_EQ(fixed->bounds(), (ViewRect{10, 30, 20, 40}));
}

TEST_F(ContainerTest, PaintingClipsEachChildAndSkipsThoseOutsideTheUpdate) {
    ProbeControl* left = probe({0, 0, 100, 100});
    ProbeControl* right = probe({300, 0, 400, 100});
    frame->appendChild(left);
    frame->appendChild(right);
    window().drawing.clear();
    frame->paintArea(nullptr, {50, 50, 150, 150});
    EXPECT_EQ(left->paints, 1);
    EXPECT_EQ(right->paints, 0);
    const auto clips = window().drawing.matching("clip");
    EXPECT_NE(std::find(clips.begin(), clips.end(), "clip 50 50 100 100"), clips.end());
}

TEST_F(ContainerTest, ASeeThroughContainerFillsOnlyWhenItsColourIsNotOpaque) {
    auto* group = new CViewContainer({0, 0, 50, 50}, frame);
    group->setSeeThrough(true);
    group->setBackdropColor({10, 20, 30, 255});
    frame->appendChild(group);
    frame->setSeeThrough(true);
    frame->setBackdropColor({0, 0, 0, 255});

    window().drawing.clear();
    frame->paintArea(nullptr, {0, 0, 50, 50});
    EXPECT_TRUE(window().drawing.matching("fillRect").empty());

    group->setBackdropColor({10, 20, 30, 254});
    frame->paintArea(nullptr, {0, 0, 50, 50});
    EXPECT_EQ(window().drawing.matching("fillRect"),
              (std::vector<std::string>{"fillRect 0 0 50 50"}));
}

TEST_F(ContainerTest, TheBackdropBitmapIsDrawnFromItsOffsetOnlyOverTheContainer) {
    headless::addResource(headless::ResourceType::Bitmap, 128, 500, 200);
    auto* background = new CBitmap(ResourceRef::byNumber(128));
    auto* group = new CViewContainer({20, 30, 120, 130}, frame, background);
    group->setBackdropOffset({20, 30});
    frame->appendChild(group);
    window().drawing.clear();
    frame->paintArea(nullptr, {0, 0, 500, 200});
    EXPECT_EQ(window().drawing.matching("image"),
              (std::vector<std::string>{"image bitmap#128 20 30 100 100 20 30 255"}));
    background->release();
}

TEST_F(ContainerTest, ABufferedContainerPaintsOffscreenAndCopiesTheUpdate) {
    auto* group = new CViewContainer({100, 0, 200, 100}, frame);
    group->setBuffered(true);
    ProbeControl* inside = probe({10, 10, 20, 20});
    group->appendChild(inside);
    frame->appendChild(group);
    window().drawing.clear();
    frame->paintArea(nullptr, {105, 5, 150, 50});
    EXPECT_EQ(inside->paints, 1);
    EXPECT_TRUE(window().drawing.matching("fillPixels").empty());
    EXPECT_EQ(window().drawing.matching("image"),
              (std::vector<std::string>{"image blank100x100 105 5 45 45 5 5 255"}));
}

TEST_F(ContainerTest, PointerEventsArriveInTheChildsParentCoordinates) {
    auto* group = new CViewContainer({100, 50, 300, 150}, frame);
    ProbeControl* control = probe({10, 10, 40, 40}, 3);
    group->appendChild(control);
    frame->appendChild(group);

    EXPECT_EQ(frame->pointerDown({120, 70}, ButtonLeft), Taken);
    frame->pointerMoved({125, 72}, ButtonLeft);
    frame->pointerUp({126, 73}, 0);
    EXPECT_EQ(control->downs, (std::vector<ViewPoint>{{20, 20}}));
    EXPECT_EQ(control->moves, (std::vector<ViewPoint>{{25, 22}}));
    EXPECT_EQ(control->ups, (std::vector<ViewPoint>{{26, 23}}));
}

TEST_F(ContainerTest, ARightClickOnAControlGoesToTheListenerFirst) {
    ProbeControl* control = probe({0, 0, 50, 50}, 4);
    frame->appendChild(control);
    listener.consumeModClicks = true;
    EXPECT_EQ(frame->pointerDown({10, 10}, ButtonRight), Taken);
    EXPECT_TRUE(control->downs.empty());
    EXPECT_EQ(listener.events, (std::vector<std::string>{"modClicked 4 8"}));

    listener.events.clear();
    frame->pointerDown({10, 10}, ButtonLeft);
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(control->downs.size(), 1u);
}

TEST_F(ContainerTest, ContainerNeedsRepaintOnlyForDirtyChildrenInsideIt) {
    auto* group = new CViewContainer({0, 0, 100, 100}, frame);
    CView* inside = new CView({10, 10, 20, 20});
    CView* outside = new CView({200, 200, 210, 210});
    group->appendChild(inside);
    group->appendChild(outside);
    frame->appendChild(group);
    group->markNeedsRepaint(false);
    inside->markNeedsRepaint(false);
    outside->markNeedsRepaint(true);
    EXPECT_FALSE(group->needsRepaint());
    inside->markNeedsRepaint(true);
    EXPECT_TRUE(group->needsRepaint());
}

TEST_F(ContainerTest, FramePointsConvertThroughNestedContainers) {
    auto* outer = new CViewContainer({100, 100, 400, 200}, frame);
    auto* inner = new CViewContainer({10, 20, 110, 80}, frame);
    CView* view = new CView({5, 5, 15, 15});
    inner->appendChild(view);
    outer->appendChild(inner);
    frame->appendChild(outer);
    ViewPoint point{120, 130};
    view->fromFrameCoords(point);
    EXPECT_EQ(point, (ViewPoint{10, 10}));
    view->toFrameCoords(point);
    EXPECT_EQ(point, (ViewPoint{120, 130}));

    ViewRect visible;
    auto* clipped = new CView({90, 50, 150, 70}); // sticks out of inner on the right
    inner->appendChild(clipped);
    clipped->visibleBounds(visible);
    EXPECT_EQ(visible, (ViewRect{90, 50, 100, 60}));
}

TEST_F(ContainerTest, TabFocusSkipsViewsThatRefuseFocusAndWalksIntoContainers) {
    CView* first = new CView({0, 0, 10, 10});
    first->setAcceptsFocus(true);
    CView* refusing = new CView({20, 0, 30, 10});
    auto* group = new CViewContainer({40, 0, 100, 10}, frame);
    CView* nested = new CView({0, 0, 10, 10});
    nested->setAcceptsFocus(true);
    group->appendChild(nested);
    for (CView* view : {first, refusing, static_cast<CView*>(group)})
        frame->appendChild(view);

    KeyRecord tab{0, kKeyTab, 0};
    EXPECT_EQ(frame->keyPressed(tab), 1);
    EXPECT_EQ(frame->focusedView(), first);
    EXPECT_EQ(frame->keyPressed(tab), 1);
    EXPECT_EQ(frame->focusedView(), nested);
    // Past the last one, the focus is cleared.
    EXPECT_EQ(frame->keyPressed(tab), -1);
    EXPECT_EQ(frame->focusedView(), nullptr);
    KeyRecord backTab{0, kKeyTab, kKeyModifierShift};
    EXPECT_EQ(frame->keyPressed(backTab), 1);
    EXPECT_EQ(frame->focusedView(), nested);
}

TEST_F(ContainerTest, ACloneOfAContainerClonesItsChildren) {
    auto* group = new CViewContainer({0, 0, 100, 100}, frame);
    group->setBackdropColor({1, 2, 3, 4});
    CView* child = new CView({1, 1, 5, 5});
    group->appendChild(child);
    auto* copy = static_cast<CViewContainer*>(group->clone());
    ASSERT_EQ(copy->childCount(), 1);
    EXPECT_NE(copy->childAt(0), child);
    EXPECT_EQ(copy->childAt(0)->bounds(), child->bounds());
    EXPECT_EQ(copy->backdropColor(), (ViewColor{1, 2, 3, 4}));
    copy->release();
    group->release();
}

} // namespace
} // namespace QXAGUI
