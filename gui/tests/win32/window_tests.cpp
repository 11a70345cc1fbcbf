// The frame's window on a real Win32 (Wine): real frame windows inside a real host window,
// messages sent to them as the system sends them, and what the views and the editor see.
//
// Suites: the window and its class; pointer messages (clicks, drags, capture, double clicks,
// extra buttons, leave); the wheel; the editor bracket and a close from inside a message;
// the host destroying its window first; painting; the frame's position and size walk.
#include "win32_test_support.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"

#include <functional>
#include <thread>

namespace QXAGUI::testing {
namespace {

// --- the host --------------------------------------------------------------------------------

struct HostRecord {
    int wheels = 0;
};
HostRecord hostRecord;

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEWHEEL) {
        ++hostRecord.wheels;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A captioned top-level window whose client area is clientWidth x clientHeight.
HWND createHost(int x = 100, int y = 100, int clientWidth = 200, int clientHeight = 100) {
    return createHostWindow(L"QxaTestHost", hostProcedure, x, y, clientWidth, clientHeight);
}

// --- an editor and a view that record ------------------------------------------------------

class RecordingEditor : public QXAGUIEditorInterface {
public:
    void enterEditorCall() override {
        ++enters;
        ++depth;
    }
    void leaveEditorCall() override {
        ++leaves;
        --depth;
    }
    int enters = 0;
    int leaves = 0;
    int depth = 0;
};

struct Event {
    std::string kind;
    ViewPoint point;
    ButtonFlags buttons = 0;
    float distance = 0.0f;
};

class Probe : public CView {
public:
    explicit Probe(const ViewRect& bounds) : CView(bounds) {}

    PointerReply pointerDown(const ViewPoint& point, const ButtonFlags& buttons) override {
        record("down", point, buttons);
        if (onDown) onDown();
        return downReply;
    }
    PointerReply pointerUp(const ViewPoint& point, const ButtonFlags& buttons) override {
        record("up", point, buttons);
        return Taken;
    }
    PointerReply pointerMoved(const ViewPoint& point, const ButtonFlags& buttons) override {
        record("moved", point, buttons);
        return Taken;
    }
    PointerReply pointerEntered(const ViewPoint& point, const ButtonFlags& buttons) override {
        record("entered", point, buttons);
        return Taken;
    }
    PointerReply pointerExited(const ViewPoint& point, const ButtonFlags& buttons) override {
        record("exited", point, buttons);
        return Taken;
    }
    bool scrollWheel(const ViewPoint& point, float distance, const ButtonFlags& buttons) override {
        record("wheel", point, buttons);
        events.back().distance = distance;
        return takesWheel;
    }
    void paint(CDrawContext* context) override {
        context->setFillTint(kRedColor);
        context->fillRectangle(bounds());
        markNeedsRepaint(false);
    }

    int count(const std::string& kind) const {
        int n = 0;
        for (const Event& event : events)
            n += event.kind == kind ? 1 : 0;
        return n;
    }
    const Event* last(const std::string& kind) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->kind == kind) return &*it;
        return nullptr;
    }

    PointerReply downReply = Taken;
    bool takesWheel = true;
    std::function<void()> onDown;
    std::vector<Event> events;
    int editorDepthAtDown = -1;

private:
    void record(const char* kind, const ViewPoint& point, ButtonFlags buttons) {
        events.push_back({kind, point, buttons, 0.0f});
    }
};

LPARAM clientPoint(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                      static_cast<WORD>(static_cast<int16_t>(y)));
}

// A frame of 200 x 100 filling a host window's client area, with one probe at (20, 30, 80, 70)
// (appended: the frame then holds the creator's reference too).
class FrameWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostRecord = {};
        host_ = createHost();
        ASSERT_NE(host_, nullptr);
        frame_ = new CFrame(ViewRect(0, 0, 200, 100), host_, &editor_);
        window_ = static_cast<HWND>(frame_->systemWindow());
        ASSERT_NE(window_, nullptr);
        probe_ = new Probe(ViewRect(20, 30, 80, 70));
        frame_->appendChild(probe_);
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
        if (frame_) frame_->release();
        if (host_ && IsWindow(host_)) DestroyWindow(host_);
        EXPECT_EQ(editor_.depth, 0);
        EXPECT_EQ(editor_.enters, editor_.leaves);
    }
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageW(window_, message, wParam, lParam);
    }
    ViewPoint frameOrigin() const { return platform::windowScreenOrigin(window_); }

    RecordingEditor editor_;
    HWND host_ = nullptr;
    HWND window_ = nullptr;
    CFrame* frame_ = nullptr;
    Probe* probe_ = nullptr;
};

// --- the window and its class --------------------------------------------------------------

TEST_F(FrameWindowTest, IsAChildOfTheHostWindowWithTheFramesSize) {
    EXPECT_EQ(GetParent(window_), host_);
    RECT area{};
    GetWindowRect(window_, &area);
    POINT topLeft{area.left, area.top};
    ScreenToClient(host_, &topLeft);
    EXPECT_EQ(topLeft.x, 0);
    EXPECT_EQ(topLeft.y, 0);
    EXPECT_EQ(area.right - area.left, 200);
    EXPECT_EQ(area.bottom - area.top, 100);

    wchar_t text[16] = {};
    GetWindowTextW(window_, text, 16);
    EXPECT_STREQ(text, L"Window");
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    const LONG_PTR wanted = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    EXPECT_EQ(style & (wanted | WS_CAPTION | WS_BORDER), wanted);
    const LONG_PTR composited = GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_COMPOSITED;
    EXPECT_EQ(composited != 0, platform::osMajorVersion() >= 6);
}

TEST_F(FrameWindowTest, KeepsTheWholeFramePointerInItsUserData) {
    EXPECT_EQ(GetWindowLongPtrW(window_, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(frame_));
}

TEST_F(FrameWindowTest, ClassIsTheModulesOwnWithDoubleClicksAndNoBackground) {
    wchar_t name[64] = {};
    GetClassNameW(window_, name, 64);
    EXPECT_EQ(std::wstring(name), win32::frameClassName());
    EXPECT_EQ(std::wstring(name).rfind(L"Plugin", 0), 0u);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(win32::toolkitModule(), name, &info));
    EXPECT_EQ(info.style & (CS_DBLCLKS | CS_GLOBALCLASS), UINT(CS_DBLCLKS | CS_GLOBALCLASS));
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
}

TEST_F(FrameWindowTest, IsRegisteredForDroppingAtTheFirstIdlePass) {
    EXPECT_EQ(win32::liveDropTargets(), 0);
    frame_->idleFrame();
    IDropTarget* other = new win32::CDropTarget(*frame_);
    other->AddRef();
    EXPECT_EQ(RegisterDragDrop(window_, other), DRAGDROP_E_ALREADYREGISTERED);
    other->Release();
    EXPECT_EQ(win32::liveDropTargets(), 1);
    frame_->setDropEnabled(false);
    EXPECT_EQ(win32::liveDropTargets(), 0);
}

TEST(FrameWindowClass, IsUnregisteredWithTheLastFrame) {
    HWND host = createHost();
    ASSERT_NE(host, nullptr);
    const int32_t before = win32::frameClassUsers();
    auto* first = new CFrame(ViewRect(0, 0, 50, 50), host, nullptr);
    auto* second = new CFrame(ViewRect(0, 0, 50, 50), host, nullptr);
    EXPECT_EQ(win32::frameClassUsers(), before + 2);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    const std::wstring name = win32::frameClassName();
    first->release();
    EXPECT_TRUE(GetClassInfoExW(win32::toolkitModule(), name.c_str(), &info));
    second->release();
    EXPECT_EQ(win32::frameClassUsers(), before);
    if (before == 0) {
        EXPECT_FALSE(GetClassInfoExW(win32::toolkitModule(), name.c_str(), &info));
    }
    DestroyWindow(host);
}

TEST(FrameWindowClass, FramesMadeAndDestroyedOnTwoThreadsAtOnceAllGetWindows) {
    std::atomic<int> withoutWindow{0};
    auto cycle = [&withoutWindow] {
        HWND host = createHost();
        for (int i = 0; i < 40; ++i) {
            auto* frame = new CFrame(ViewRect(0, 0, 40, 40), host, nullptr);
            if (!frame->systemWindow()) ++withoutWindow;
            frame->release();
        }
        DestroyWindow(host);
    };
    std::thread first(cycle), second(cycle);
    first.join();
    second.join();
    EXPECT_EQ(withoutWindow.load(), 0);
    EXPECT_EQ(win32::frameClassUsers(), 0);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetClassInfoExW(win32::toolkitModule(), win32::frameClassName().c_str(), &info));
    EXPECT_EQ(win32::liveDropTargets(), 0);
}

// --- pointer messages ----------------------------------------------------------------------

TEST_F(FrameWindowTest, ADragIsCapturedFromPressToRelease) {
    EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(30, 40)), 0);
    ASSERT_EQ(probe_->count("down"), 1);
    EXPECT_EQ(probe_->last("down")->point, ViewPoint(30, 40));
    EXPECT_EQ(probe_->last("down")->buttons, ButtonFlags(ButtonLeft));
    EXPECT_EQ(GetCapture(), window_);

    // Outside the window, left of it: the captured pointer's coordinates are signed.
    send(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, clientPoint(-12, 45));
    ASSERT_EQ(probe_->count("moved"), 1);
    EXPECT_EQ(probe_->last("moved")->point, ViewPoint(-12, 45));
    EXPECT_EQ(probe_->last("moved")->buttons, ButtonFlags(ButtonLeft | ModShift));

    send(WM_LBUTTONUP, 0, clientPoint(-12, 45));
    EXPECT_EQ(probe_->count("up"), 1);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(probe_->count("up"), 1); // the capture's end ended nothing a second time
}

TEST_F(FrameWindowTest, APressNobodyTakesCapturesNothing) {
    probe_->downReply = Passed;
    send(WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, clientPoint(30, 40));
    ASSERT_EQ(probe_->count("down"), 1);
    EXPECT_EQ(probe_->last("down")->buttons, ButtonFlags(ButtonRight | ModControl));
    EXPECT_EQ(GetCapture(), nullptr);
    send(WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(150, 90)); // outside the probe
    EXPECT_EQ(probe_->count("down"), 1);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(FrameWindowTest, DoubleClicksAndExtraButtonsArriveWithTheirFlags) {
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, clientPoint(30, 40));
    EXPECT_EQ(probe_->last("down")->buttons, ButtonFlags(ButtonLeft | ClickDouble));
    send(WM_LBUTTONUP, 0, clientPoint(30, 40));

    send(WM_MBUTTONDOWN, MK_MBUTTON, clientPoint(30, 40));
    EXPECT_EQ(probe_->last("down")->buttons, ButtonFlags(ButtonMiddle));
    send(WM_MBUTTONUP, 0, clientPoint(30, 40));

    EXPECT_EQ(send(WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON2, XBUTTON2), clientPoint(30, 40)), TRUE);
    EXPECT_EQ(probe_->last("down")->buttons, ButtonFlags(ButtonExtra2));
    EXPECT_EQ(GetCapture(), window_);
    EXPECT_EQ(send(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), clientPoint(30, 40)), TRUE);
    EXPECT_EQ(GetCapture(), nullptr);

    send(WM_XBUTTONDBLCLK, MAKEWPARAM(MK_XBUTTON1, XBUTTON1), clientPoint(30, 40));
    EXPECT_EQ(probe_->last("down")->buttons, ButtonFlags(ButtonExtra1 | ClickDouble));
    send(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), clientPoint(30, 40));
    EXPECT_EQ(probe_->count("down"), probe_->count("up"));
}

TEST_F(FrameWindowTest, LosingTheCaptureMidDragEndsTheDragOnce) {
    send(WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(30, 40));
    ASSERT_EQ(GetCapture(), window_);
    // Another window takes the pointer (Alt+Tab, a dialog): the release never comes here.
    HWND other = createHost(400, 100);
    SetCapture(other);
    EXPECT_EQ(probe_->count("up"), 1);
    // A late release, or a second loss, ends nothing more.
    send(WM_LBUTTONUP, 0, clientPoint(30, 40));
    send(WM_CAPTURECHANGED, 0, 0);
    EXPECT_EQ(probe_->count("up"), 1);
    ReleaseCapture();
    DestroyWindow(other);
}

TEST_F(FrameWindowTest, LeavingTheWindowEndsTheHover) {
    probe_->downReply = Passed;
    send(WM_MOUSEMOVE, 0, clientPoint(30, 40)); // nothing down: hover tracking
    ASSERT_EQ(probe_->count("entered"), 1);
    send(WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(probe_->count("exited"), 1);
    EXPECT_EQ(frame_->hoverView(), nullptr);
}

// --- the wheel -----------------------------------------------------------------------------

TEST_F(FrameWindowTest, WheelTakenByAViewIsAnsweredAndNotPassedOn) {
    const ViewPoint origin = frameOrigin();
    const LPARAM at = clientPoint(origin.x + 40, origin.y + 50);
    EXPECT_EQ(send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), at), 0);
    ASSERT_EQ(probe_->count("wheel"), 1);
    EXPECT_EQ(probe_->last("wheel")->point, ViewPoint(40, 50));
    EXPECT_EQ(probe_->last("wheel")->distance, -2.0f);
    EXPECT_EQ(hostRecord.wheels, 0);

    send(WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, 60), at);
    EXPECT_EQ(probe_->last("wheel")->distance, 0.0f); // half a notch is no step
    EXPECT_EQ(hostRecord.wheels, 0);
}

TEST_F(FrameWindowTest, WheelNobodyTakesGoesToTheHost) {
    probe_->takesWheel = false;
    const ViewPoint origin = frameOrigin();
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), clientPoint(origin.x + 40, origin.y + 50));
    EXPECT_EQ(probe_->count("wheel"), 1);
    EXPECT_EQ(hostRecord.wheels, 1);
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), clientPoint(origin.x + 190, origin.y + 5));
    EXPECT_EQ(probe_->count("wheel"), 1); // no view there
    EXPECT_EQ(hostRecord.wheels, 2);
}

TEST_F(FrameWindowTest, WheelOnAMonitorLeftOfAndAboveThePrimaryOne) {
    SetWindowPos(host_, nullptr, -700, -500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const ViewPoint origin = frameOrigin();
    ASSERT_LT(origin.x + 40, 0) << "the window system kept the host on the primary monitor";
    ASSERT_LT(origin.y + 50, 0);
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)),
         clientPoint(origin.x + 40, origin.y + 50));
    ASSERT_EQ(probe_->count("wheel"), 1);
    EXPECT_EQ(probe_->last("wheel")->point, ViewPoint(40, 50));
    EXPECT_EQ(probe_->last("wheel")->distance, -1.0f);
}

// --- the editor bracket --------------------------------------------------------------------

TEST_F(FrameWindowTest, EveryHandledMessageIsInsideOneEditorCall) {
    probe_->onDown = [this] { probe_->editorDepthAtDown = editor_.depth; };
    send(WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(30, 40));
    send(WM_LBUTTONUP, 0, clientPoint(30, 40));
    EXPECT_EQ(probe_->editorDepthAtDown, 1);
    EXPECT_GE(editor_.enters, 2);
    EXPECT_EQ(editor_.depth, 0);
    const int before = editor_.enters;
    send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Window")); // not the frame's: no call
    EXPECT_EQ(editor_.enters, before);
}

TEST_F(FrameWindowTest, AFrameReleasedInsideItsOwnMessageOutlivesTheMessage) {
    // The host closes the editor from the modal loop of a press: the editor lets its frame go.
    bool aliveAfterRelease = false;
    probe_->onDown = [this, &aliveAfterRelease] {
        CFrame* frame = frame_;
        frame_ = nullptr;
        frame->release();
        // A frame deleted here would have destroyed its window already.
        aliveAfterRelease = IsWindow(window_) && probe_->frame() == frame;
    };
    probe_->retain(); // the probe outlives the frame for the assertions below
    send(WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(30, 40));
    EXPECT_TRUE(aliveAfterRelease);
    EXPECT_FALSE(IsWindow(window_)); // destroyed once the message was done
    EXPECT_EQ(probe_->frame(), nullptr);
    probe_->release();
    probe_ = nullptr;
}

// --- the host destroys its window first ------------------------------------------------------

TEST_F(FrameWindowTest, HostDestroyingItsWindowFirstLeavesTheFrameWithoutOne) {
    frame_->idleFrame();
    ASSERT_EQ(win32::liveDropTargets(), 1);
    const int32_t classUsers = win32::frameClassUsers();
    DestroyWindow(host_);
    host_ = nullptr;
    EXPECT_FALSE(frame_->windowAlive());
    EXPECT_EQ(frame_->systemWindow(), nullptr);
    EXPECT_EQ(win32::liveDropTargets(), 0); // revoked while the window still existed
    // Nothing below may reach the dead handle (Wine would accept a reused one silently, so
    // what shows is that the frame forgot it and let its class go).
    probe_->requestRepaint();
    frame_->idleFrame();
    frame_->release();
    frame_ = nullptr;
    EXPECT_EQ(win32::frameClassUsers(), classUsers - 1);
}

// --- painting --------------------------------------------------------------------------------

TEST_F(FrameWindowTest, PaintMessageDrawsTheViewsIntoTheWindow) {
    frame_->setBackdropColor(kBlueColor);
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    HDC dc = GetDC(window_);
    const COLORREF inside = GetPixel(dc, 50, 50);
    const COLORREF outside = GetPixel(dc, 150, 20);
    ReleaseDC(window_, dc);
    EXPECT_EQ(inside, RGB(255, 0, 0));
    EXPECT_EQ(outside, RGB(0, 0, 255));
}

// Blits a whole bitmap at a fixed place, wider and taller than the view itself.
class Stamp : public CView {
public:
    Stamp(const ViewRect& bounds, CBitmap* bitmap, const ViewRect& place)
        : CView(bounds), bitmap_(bitmap), place_(place) {}
    void paint(CDrawContext* context) override { bitmap_->blit(context, place_, ViewPoint(0, 0)); }

private:
    CBitmap* bitmap_;
    ViewRect place_;
};

TEST_F(FrameWindowTest, AnOpaqueBitmapLandsPixelForPixelAndOnlyInsideItsView) {
    // 3 x 2 pixels, 24 bits with padded rows: (10,20,30) (40,50,60) (70,80,90) over
    // (100,110,120) (130,140,150) (160,170,180). The view shows its top-left 2 x 1 only.
    auto* bitmap = new CBitmap(ResourceRef::byNumber(201));
    ASSERT_EQ(bitmap->width(), 3);
    frame_->appendChild(new Stamp(ViewRect(100, 10, 102, 11), bitmap, ViewRect(100, 10, 103, 12)));
    frame_->appendChild(new Stamp(ViewRect(110, 10, 113, 12), bitmap, ViewRect(110, 10, 113, 12)));
    frame_->setBackdropColor(kBlueColor);
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    HDC dc = GetDC(window_);
    EXPECT_EQ(GetPixel(dc, 100, 10), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 101, 10), RGB(40, 50, 60));
    EXPECT_EQ(GetPixel(dc, 102, 10), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 100, 11), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 112, 10), RGB(70, 80, 90));
    EXPECT_EQ(GetPixel(dc, 110, 11), RGB(100, 110, 120));
    EXPECT_EQ(GetPixel(dc, 112, 11), RGB(160, 170, 180));
    ReleaseDC(window_, dc);
    // Drawn into later, it shows what was drawn, not the pixels it was loaded with.
    auto* into = new COffscreenContext(nullptr, bitmap, true);
    into->setFillTint(kGreenColor);
    into->rectangle(ViewRect(0, 0, 3, 2), DrawFilled);
    into->release();
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    dc = GetDC(window_);
    EXPECT_EQ(GetPixel(dc, 111, 10), RGB(0, 255, 0));
    ReleaseDC(window_, dc);
    bitmap->release();
}

TEST_F(FrameWindowTest, ABitmapWithAlphaLandsAsGdiplusBlendsItOverWhatIsUnderIt) {
    // dot.png: opaque red, half-transparent blue, transparent and opaque green rows, over a
    // backdrop whose channels show any difference in rounding.
    using namespace Gdiplus::DllExports;
    constexpr ViewColor kUnder{201, 99, 50, 255};
    auto* dot = new CBitmap(ResourceRef::byName("dot.png"));
    ASSERT_EQ(dot->width(), 4);
    frame_->appendChild(new Stamp(ViewRect(100, 10, 104, 14), dot, ViewRect(100, 10, 104, 14)));
    frame_->setBackdropColor(kUnder);
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    // What GDI+ itself makes of the same image over the same colour, on pixels without alpha.
    Gdiplus::GpBitmap* expected = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat24bppRGB, nullptr, &expected),
              Gdiplus::Ok);
    Gdiplus::GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(expected, &graphics), Gdiplus::Ok);
    GdipGraphicsClear(graphics,
                      0xff000000u | (kUnder.red << 16) | (kUnder.green << 8) | kUnder.blue);
    GdipDrawImageRectRectI(graphics, dot->platformImage()->bitmap(), 0, 0, 4, 4, 0, 0, 4, 4,
                           Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    GdipDeleteGraphics(graphics);
    HDC dc = GetDC(window_);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            Gdiplus::ARGB colour = 0;
            GdipBitmapGetPixel(expected, x, y, &colour);
            EXPECT_EQ(GetPixel(dc, 100 + x, 10 + y),
                      RGB((colour >> 16) & 0xff, (colour >> 8) & 0xff, colour & 0xff))
                << "at " << x << ", " << y;
        }
    ReleaseDC(window_, dc);
    GdipDisposeImage(expected);
    dot->release();
}

// --- position and size ---------------------------------------------------------------------

TEST_F(FrameWindowTest, PositionIsTheHostWindowsAndSizeItsRectangle) {
    int32_t x = 0, y = 0;
    ASSERT_TRUE(frame_->framePosition(x, y));
    RECT hostArea{};
    GetWindowRect(host_, &hostArea);
    EXPECT_EQ(x, hostArea.left);
    EXPECT_EQ(y, hostArea.top);
    ViewRect size;
    ASSERT_TRUE(frame_->frameSize(size));
    EXPECT_EQ(size, ViewRect(hostArea.left, hostArea.top, hostArea.right, hostArea.bottom));
}

RECT windowArea(HWND window) {
    RECT area{};
    GetWindowRect(window, &area);
    return area;
}

TEST_F(FrameWindowTest, ResizingGrowsTheHostWindowItFillsKeepingItsFrame) {
    const RECT hostBefore = windowArea(host_);
    ASSERT_TRUE(frame_->resizeFrame(260, 130));
    const RECT frameAfter = windowArea(window_);
    const RECT hostAfter = windowArea(host_);
    EXPECT_EQ(frameAfter.right - frameAfter.left, 260);
    EXPECT_EQ(frameAfter.bottom - frameAfter.top, 130);
    // The host's caption and borders stay around the frame.
    EXPECT_EQ(hostAfter.right - hostAfter.left, (hostBefore.right - hostBefore.left) + 60);
    EXPECT_EQ(hostAfter.bottom - hostAfter.top, (hostBefore.bottom - hostBefore.top) + 30);
    EXPECT_EQ(frame_->bounds(), ViewRect(0, 0, 260, 130));
}

TEST(FrameResizing, StopsBelowAWindowThatIsMoreThanAFrameAroundIt) {
    HWND host = createHost(100, 100, 400, 300); // 200 pixels of room around the frame
    ASSERT_NE(host, nullptr);
    auto* frame = new CFrame(ViewRect(0, 0, 200, 100), host, nullptr);
    const RECT hostBefore = windowArea(host);
    EXPECT_TRUE(frame->resizeFrame(220, 110));
    const RECT frameAfter = windowArea(static_cast<HWND>(frame->systemWindow()));
    const RECT hostAfter = windowArea(host);
    EXPECT_EQ(frameAfter.right - frameAfter.left, 220);
    EXPECT_EQ(hostAfter.right - hostAfter.left, hostBefore.right - hostBefore.left);
    EXPECT_EQ(hostAfter.bottom - hostAfter.top, hostBefore.bottom - hostBefore.top);
    frame->release();
    DestroyWindow(host);
}

} // namespace
} // namespace QXAGUI::testing
