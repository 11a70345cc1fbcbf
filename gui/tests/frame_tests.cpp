// CFrame: the idle pass, focus and its guard, the blocking view, hover tracking, the wheel,
// the modal tracking loop, and what the frame leaves behind.
#include "cbitmap.h"
#include "cdrawcontext.h"
#include "gui_test_support.h"

namespace QXAGUI {
namespace {

using testing::FrameTest;
using testing::kHostWindow;

// A view that takes the pointer and records what reaches it.
class TrackingView : public CView {
public:
    explicit TrackingView(const ViewRect& bounds) : CView(bounds) { setAcceptsFocus(true); }
    PointerReply pointerDown(const ViewPoint&, const ButtonFlags&) override {
        events.push_back("down");
        return downReply;
    }
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override {
        events.push_back("move " + std::to_string(point.x) + "," + std::to_string(point.y) + " " +
                         std::to_string(buttons));
        return Taken;
    }
    PointerReply pointerUp(const ViewPoint&, const ButtonFlags&) override {
        events.push_back("up");
        return Taken;
    }
    PointerReply pointerEntered(const ViewPoint&, const ButtonFlags&) override {
        events.push_back("entered");
        return Taken;
    }
    PointerReply pointerExited(const ViewPoint&, const ButtonFlags&) override {
        events.push_back("exited");
        return Taken;
    }
    bool scrollWheel(const ViewPoint&, float distance, const ButtonFlags&) override {
        events.push_back("wheel " + std::to_string(static_cast<int>(distance)));
        return true;
    }
    void loseFocus() override {
        events.push_back("loseFocus");
        if (grabFocusBackOnLoss && frame()) frame()->focusOn(this);
    }
    void legacyTrack(CDrawContext* context, const ViewPoint&, ButtonFlags) override {
        events.push_back("legacy");
        ViewPoint where;
        pointerLocation(context, where);
        events.push_back("at " + std::to_string(where.x) + "," + std::to_string(where.y));
    }
    PointerReply downReply = Taken;
    bool grabFocusBackOnLoss = false;
    std::vector<std::string> events;
};

class FrameBehaviour : public FrameTest {
protected:
    TrackingView* add(const ViewRect& bounds) {
        auto* view = new TrackingView(bounds);
        frame->appendChild(view); // the frame takes the creator's reference
        return view;
    }
};

TEST_F(FrameBehaviour, AnIdlePassWithNothingChangedInvalidatesNothing) {
    add({10, 10, 40, 40});
    frame->paintArea(nullptr, frame->bounds());
    window().invalidations.clear();
    frame->idleFrame();
    frame->idleFrame();
    EXPECT_TRUE(window().invalidations.empty());
}

TEST_F(FrameBehaviour, AnIdlePassInvalidatesOnlyTheDirtyView) {
    add({10, 10, 40, 40});
    TrackingView* dirty = add({100, 20, 130, 50});
    frame->paintArea(nullptr, frame->bounds());
    window().invalidations.clear();
    dirty->markNeedsRepaint(true);
    frame->idleFrame();
    EXPECT_EQ(window().invalidations, (std::vector<ViewRect>{{100, 20, 130, 50}}));
    window().invalidations.clear();
    frame->idleFrame();
    EXPECT_TRUE(window().invalidations.empty());
}

TEST_F(FrameBehaviour, MarkOverlappingCountsViewsThatOnlyTouchTheRectangle) {
    TrackingView* touching = add({50, 0, 60, 10});
    TrackingView* apart = add({62, 0, 70, 10});
    touching->markNeedsRepaint(false);
    apart->markNeedsRepaint(false);
    frame->markOverlapping({0, 0, 50, 10});
    EXPECT_TRUE(touching->needsRepaint());
    EXPECT_FALSE(apart->needsRepaint());
}

TEST_F(FrameBehaviour, NothingIsDrawnOrInvalidatedOnceTheWindowIsGone) {
    TrackingView* view = add({10, 10, 40, 40});
    frame->windowDestroyed();
    window().invalidations.clear();
    view->markNeedsRepaint(true);
    frame->idleFrame();
    frame->requestRepaint();
    EXPECT_TRUE(window().invalidations.empty());
    EXPECT_FALSE(frame->windowAlive());
    EXPECT_EQ(frame->hostWindow(), nullptr);
}

TEST_F(FrameBehaviour, RemovingTheHoverOrFocusViewLeavesNothingDangling) {
    TrackingView* hovered = add({10, 10, 40, 40});
    TrackingView* focused = add({100, 10, 140, 40});
    frame->pointerMoved({20, 20}, 0);
    frame->focusOn(focused);
    ASSERT_EQ(frame->hoverView(), hovered);
    ASSERT_EQ(frame->focusedView(), focused);
    frame->removeChild(hovered);
    frame->removeChild(focused);
    EXPECT_EQ(frame->hoverView(), nullptr);
    EXPECT_EQ(frame->focusedView(), nullptr);
    // Input after the removal reaches no freed view (AddressSanitizer watches).
    frame->pointerMoved({25, 25}, 0);
    frame->pointerExited({0, 0}, 0);
    KeyRecord key{'a', 0, 0};
    EXPECT_EQ(frame->keyPressed(key), -1);
}

TEST_F(FrameBehaviour, AViewDeepInARemovedContainerStopsBeingTheFocusView) {
    auto* group = new CViewContainer({0, 0, 100, 100}, frame);
    auto* inner = new TrackingView({10, 10, 20, 20});
    group->appendChild(inner);
    frame->appendChild(group);
    frame->focusOn(inner);
    frame->removeChild(group);
    EXPECT_EQ(frame->focusedView(), nullptr);
}

TEST_F(FrameBehaviour, AFocusChangeFromInsideAFocusHandlerIsIgnored) {
    TrackingView* first = add({0, 0, 10, 10});
    TrackingView* second = add({20, 0, 30, 10});
    frame->focusOn(first);
    first->grabFocusBackOnLoss = true;
    frame->focusOn(second);
    EXPECT_EQ(frame->focusedView(), second);
    EXPECT_EQ(first->events, (std::vector<std::string>{"loseFocus"}));
    EXPECT_TRUE(first->needsRepaint());
}

TEST_F(FrameBehaviour, APressClearsTheFocus) {
    TrackingView* view = add({0, 0, 10, 10});
    frame->focusOn(view);
    frame->pointerDown({300, 100}, ButtonLeft);
    EXPECT_EQ(frame->focusedView(), nullptr);
}

TEST_F(FrameBehaviour, OnlyOneBlockingViewAtATime) {
    auto* first = new TrackingView({0, 0, 10, 10});
    auto* second = new TrackingView({0, 0, 10, 10});
    EXPECT_TRUE(frame->setBlockingView(first));
    EXPECT_FALSE(frame->setBlockingView(second));
    EXPECT_EQ(frame->blockingView(), first);
    EXPECT_EQ(frame->childCount(), 1);
    // Input goes to the blocking view only.
    add({100, 100, 200, 200});
    EXPECT_EQ(frame->pointerDown({150, 150}, ButtonLeft), Passed);
    EXPECT_TRUE(frame->setBlockingView(nullptr));
    EXPECT_EQ(frame->childCount(), 1);
    EXPECT_EQ(first->referenceCount(), 1); // removed without release: still the creator's
    first->release();
    second->release();
}

TEST_F(FrameBehaviour, HoverTrackingSendsEnterMoveAndExit) {
    TrackingView* view = add({10, 10, 40, 40});
    frame->pointerMoved({20, 20}, 0);
    frame->pointerMoved({22, 21}, 0);
    frame->pointerMoved({200, 100}, 0);
    EXPECT_EQ(view->events, (std::vector<std::string>{"entered", "move 22,21 0", "exited"}));
    EXPECT_TRUE(window().leaveRequested);
}

TEST_F(FrameBehaviour, TheWheelIsIgnoredWhileAViewHasThePointerDown) {
    TrackingView* view = add({10, 10, 40, 40});
    ASSERT_EQ(frame->pointerDown({20, 20}, ButtonLeft), Taken);
    EXPECT_FALSE(frame->scrollWheel({20, 20}, 1.0f, 0));
    frame->pointerUp({20, 20}, 0);
    EXPECT_TRUE(frame->scrollWheel({20, 20}, -2.0f, 0));
    EXPECT_EQ(view->events.back(), "wheel -2");
}

TEST_F(FrameBehaviour, ALegacyViewIsTrackedWithAContextOnTheFrame) {
    auto* group = new CViewContainer({100, 50, 300, 150}, frame);
    auto* view = new TrackingView({10, 10, 40, 40});
    view->downReply = Legacy;
    group->appendChild(view);
    frame->appendChild(group);
    window().screenOrigin = {1000, 500};
    headless::setCursorScreenPosition({1125, 575});
    EXPECT_EQ(frame->pointerDown({120, 70}, ButtonLeft), Legacy);
    EXPECT_EQ(view->events, (std::vector<std::string>{"down", "legacy", "at 25,25"}));
}

TEST_F(FrameBehaviour, TheModalLoopFollowsThePointerUntilTheButtonIsReleased) {
    TrackingView* view = add({10, 10, 100, 100});
    headless::scriptPointer(
        {{{20, 20}, ButtonLeft}, {{20, 20}, ButtonLeft}, {{30, 25}, ButtonLeft}, {{30, 25}, 0}});
    auto* context = new CDrawContext(frame, nullptr, frame->systemWindow());
    frame->legacyTrack(context, {20, 20}, ButtonLeft);
    context->release();
    EXPECT_EQ(view->events, (std::vector<std::string>{"down", "move 30,25 2", "up"}));
    EXPECT_EQ(editor.events.size(), 4u); // the editor's idle ran once per loop step
}

TEST_F(FrameBehaviour, TheFrameGivesBackWhatItTook) {
    const int32_t objects = CBaseObject::liveObjectCount();
    const int32_t ole = headless::oleInitializeDepth();
    const int32_t graphics = headless::graphicsStartCount();
    auto* other = new CFrame({0, 0, 100, 100}, kHostWindow, nullptr);
    other->appendChild(new CView({0, 0, 10, 10}));
    // Drops, and OLE for them, are taken up from the first idle pass on.
    EXPECT_EQ(headless::oleInitializeDepth(), ole);
    EXPECT_FALSE(headless::windowOf(*other)->dropEnabled);
    other->idleFrame();
    EXPECT_TRUE(headless::windowOf(*other)->dropEnabled);
    EXPECT_EQ(headless::oleInitializeDepth(), ole + 1);
    other->release();
    EXPECT_EQ(CBaseObject::liveObjectCount(), objects);
    EXPECT_EQ(headless::oleInitializeDepth(), ole);
    EXPECT_EQ(headless::graphicsStartCount(), graphics);
}

TEST_F(FrameBehaviour, AFrameWithoutHostWindowHasNoWindowAndDrawsNothing) {
    auto* bare = new CFrame({0, 0, 100, 100}, nullptr, nullptr);
    EXPECT_EQ(bare->systemWindow(), nullptr);
    bare->requestRepaint();
    bare->paintArea(nullptr, bare->bounds());
    EXPECT_FALSE(bare->resizeFrame(200, 200));
    bare->release();
}

TEST_F(FrameBehaviour, KeysGoToTheFocusViewFirst) {
    class KeyView : public CView {
    public:
        using CView::CView;
        int32_t keyPressed(KeyRecord&) override { return 1; }
    };
    auto* view = new KeyView({0, 0, 10, 10});
    frame->appendChild(view);
    KeyRecord key{'x', 0, 0};
    EXPECT_EQ(frame->keyPressed(key), -1); // a view without focus is not asked
    frame->focusOn(view);
    EXPECT_EQ(frame->keyPressed(key), 1);
}

} // namespace
} // namespace QXAGUI
