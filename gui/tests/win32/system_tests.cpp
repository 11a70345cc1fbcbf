// The Win32 back-end's system services: OLE and GDI+ balanced per thread and per success when
// instances come and go on two threads, the second-click wait, and the modal paint dispatch.
#include "win32_test_support.h"

#include <thread>

namespace QXAGUI::testing {
namespace {

// --- OLE -----------------------------------------------------------------------------------

TEST(OleBalance, AThreadOnlyUndoesItsOwnSuccessfulInitialisations) {
    std::thread([] {
        ASSERT_TRUE(platform::initializeOle());
        ASSERT_TRUE(platform::initializeOle()); // S_FALSE: still one to undo
        EXPECT_EQ(win32::oleDepthOfThisThread(), 2);
        platform::uninitializeOle();
        platform::uninitializeOle();
        platform::uninitializeOle(); // one too many: no call
        EXPECT_EQ(win32::oleDepthOfThisThread(), 0);
        // Fully undone, not over-undone: COM starts afresh on this thread.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    }).join();
}

TEST(OleBalance, ARefusedInitialisationIsNeverUndone) {
    std::thread([] {
        // The host made this thread a multithreaded apartment: OLE refuses, and the toolkit
        // must not tear down the host's COM on its way out.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_FALSE(platform::initializeOle());
        platform::uninitializeOle();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE); // still the host's
        CoUninitialize();
        CoUninitialize();
    }).join();
}

TEST(OleBalance, UninitialisingOnAnotherThreadLeavesThatThreadsComAlone) {
    ASSERT_TRUE(platform::initializeOle());
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        platform::uninitializeOle(); // this thread initialised nothing through the toolkit
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(win32::oleDepthOfThisThread(), 1);
    platform::uninitializeOle();
}

// --- GDI+ ----------------------------------------------------------------------------------

TEST(GraphicsBalance, StartsAndStopsOnTwoThreadsAtOnceKeepTheLibraryRunning) {
    ASSERT_TRUE(platform::startGraphics());
    const int32_t before = win32::graphicsUsers();
    auto churn = [] {
        for (int i = 0; i < 200; ++i) {
            if (!platform::startGraphics()) return;
            // Use the library between start and stop, as an instance does.
            PlatformImage* image = platform::createBlankImage(2, 2);
            platform::destroyImage(image);
            platform::stopGraphics();
        }
    };
    std::thread first(churn), second(churn);
    first.join();
    second.join();
    EXPECT_EQ(win32::graphicsUsers(), before);
    PlatformImage* image = platform::createBlankImage(2, 2);
    EXPECT_NE(image, nullptr); // the library was never shut down under the outer user
    platform::destroyImage(image);
    platform::stopGraphics();
}

TEST(GraphicsBalance, AStopWithoutAStartStopsNothing) {
    ASSERT_TRUE(platform::startGraphics());
    const int32_t users = win32::graphicsUsers();
    platform::stopGraphics();
    EXPECT_EQ(win32::graphicsUsers(), users - 1);
    if (users == 1) {
        platform::stopGraphics(); // nothing left to stop
        EXPECT_EQ(win32::graphicsUsers(), 0);
    }
    ASSERT_TRUE(platform::startGraphics());
    PlatformImage* image = platform::createBlankImage(2, 2);
    EXPECT_NE(image, nullptr);
    platform::destroyImage(image);
    platform::stopGraphics();
}

// --- the second click ----------------------------------------------------------------------

class SecondClickTest : public ::testing::Test {
protected:
    void SetUp() override {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        // The first press: a message retrieved now sets the message time.
        PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_REMOVE);
        const ViewPoint cursor = platform::cursorScreenPosition();
        aroundCursor_ = {cursor.x - 2, cursor.y - 2, cursor.x + 3, cursor.y + 3};
    }
    void TearDown() override { win32::setSecondClickClock(nullptr); }
    // A clock that has passed the double-click time since the first press, and one that moves
    // on by a tenth of it at each reading: the wait ends without a real clock running out.
    static DWORD pastTheDoubleClickTime() {
        return static_cast<DWORD>(GetMessageTime()) + GetDoubleClickTime() + 1;
    }
    static DWORD steppingClock() {
        static DWORD readings = 0;
        return static_cast<DWORD>(GetMessageTime()) + (++readings % 11) * GetDoubleClickTime() / 10;
    }
    static bool pressQueued() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE);
    }
    ViewRect aroundCursor_;
};

TEST_F(SecondClickTest, AQueuedPressIsTakenFromTheQueue) {
    PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_TRUE(platform::awaitSecondClick(aroundCursor_));
    EXPECT_FALSE(pressQueued());
}

TEST_F(SecondClickTest, ADoubleClickMessageCountsAsTheSecondPress) {
    PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_TRUE(platform::awaitSecondClick(aroundCursor_));
}

TEST_F(SecondClickTest, ACursorOutsideTheBoxEndsTheWait) {
    PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    const ViewRect elsewhere = {aroundCursor_.left + 100, aroundCursor_.top,
                                aroundCursor_.right + 100, aroundCursor_.bottom};
    EXPECT_FALSE(platform::awaitSecondClick(elsewhere));
    EXPECT_TRUE(pressQueued()); // left for the window
}

TEST_F(SecondClickTest, NoPressWithinTheDoubleClickTimeIsNoDoubleClick) {
    win32::setSecondClickClock(&steppingClock);
    EXPECT_FALSE(platform::awaitSecondClick(aroundCursor_));
}

TEST_F(SecondClickTest, APressAfterTheDoubleClickTimeIsNoDoubleClick) {
    win32::setSecondClickClock(&pastTheDoubleClickTime);
    PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_FALSE(platform::awaitSecondClick(aroundCursor_));
    EXPECT_TRUE(pressQueued());
}

// --- the modal paint dispatch ----------------------------------------------------------------

int paintsSeen = 0;

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        ++paintsSeen;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(PaintDispatch, OnePendingPaintIsDispatchedPerCall) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = countingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QxaPaintCounter";
    RegisterClassW(&windowClass);
    HWND first = CreateWindowW(L"QxaPaintCounter", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND second = CreateWindowW(L"QxaPaintCounter", L"", WS_POPUP | WS_VISIBLE, 50, 0, 40, 40,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(first && second);
    UpdateWindow(first);
    UpdateWindow(second);
    paintsSeen = 0;
    InvalidateRect(first, nullptr, FALSE);
    InvalidateRect(second, nullptr, FALSE);
    platform::dispatchOnePaintMessage();
    EXPECT_EQ(paintsSeen, 1);
    platform::dispatchOnePaintMessage();
    EXPECT_EQ(paintsSeen, 2);
    platform::dispatchOnePaintMessage(); // nothing pending
    EXPECT_EQ(paintsSeen, 2);
    DestroyWindow(first);
    DestroyWindow(second);
    UnregisterClassW(L"QxaPaintCounter", GetModuleHandleW(nullptr));
}

} // namespace
} // namespace QXAGUI::testing
