// The frame's system window: its class, the child window inside the host's window, and the
// window procedure that turns messages into CFrame calls.
//
// Contents: the window class and its use count; Win32FrameWindow (the FrameWindow of the
// seam); the window procedure; createFrameWindow.
//
// Messages the frame handles (everything else, and anything before the frame is stored in the
// window or after it is cleared, goes to DefWindowProc):
//
//   message                   frame call                          answer
//   WM_DESTROY                windowDestroyed, drop revoked       DefWindowProc
//   WM_PAINT                  paintArea (painted rectangle)       0
//   WM_ERASEBKGND             -                                   1 (nothing erased)
//   WM_MOUSEMOVE              pointerMoved                        0
//   WM_?BUTTONDOWN            pointerDown, capture when Taken     0 (TRUE for the extras)
//   WM_?BUTTONDBLCLK          the same with ClickDouble           0 (TRUE for the extras)
//   WM_?BUTTONUP              pointerUp, capture released         0 (TRUE for the extras)
//   WM_MOUSEWHEEL             scrollWheel (delta / 120)           0 when taken, else default
//   WM_MOUSELEAVE             pointerExited                       0
//   WM_CAPTURECHANGED         pointerUp while a view has the      0
//                             pointer down (the drag's end)
//   WM_CTLCOLOREDIT           the text edit's ink and paper        its paper brush, only for
//                             colours for its open edit box        the focus view's open box
//   WM_MEASUREITEM,           the scheme of the pop-up menu being  TRUE for its entries
//   WM_DRAWITEM               tracked measures and draws an entry
//
// Each handled message runs inside the editor's enterEditorCall/leaveEditorCall with the frame
// retained: a host may close the editor from a modal loop inside the handling.
#include "win32_platform.h"

#include "cdrawcontext.h"
#include "cframe.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace QXAGUI {
namespace win32 {
namespace {

// --- the window class ----------------------------------------------------------------------

std::mutex classMutex;
int32_t classUsers = 0;

LRESULT CALLBACK frameWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes one use of the class, registering it with the first. Two instances may open their
// editors on two threads at once.
bool acquireFrameClass() {
    std::lock_guard<std::mutex> lock(classMutex);
    if (classUsers == 0) {
        recordButtonSwap();
        const std::wstring name = frameClassName();
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS | CS_GLOBALCLASS;
        windowClass.lpfnWndProc = frameWindowProcedure;
        windowClass.cbWndExtra = sizeof(LONG_PTR); // the Win32FrameWindow
        windowClass.hInstance = toolkitModule();
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // arrow
        windowClass.lpszClassName = name.c_str();
        // A class left behind by a window destroyed on another thread is still ours.
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return false;
    }
    ++classUsers;
    return true;
}

void releaseFrameClass() {
    std::lock_guard<std::mutex> lock(classMutex);
    if (classUsers <= 0) return;
    if (--classUsers == 0) UnregisterClassW(frameClassName().c_str(), toolkitModule());
}

// --- message decoding ----------------------------------------------------------------------

// A draw context on the surface a paint is composed on.
class ComposedContext final : public CDrawContext {
public:
    ComposedContext(CFrame* frame, std::unique_ptr<DrawSurface> surface, const ViewRect& clip)
        : CDrawContext(frame, std::move(surface), clip) {}
};

// The rectangles a region is made of; empty when the system does not give them.
std::vector<ViewRect> regionRectangles(HRGN region) {
    std::vector<ViewRect> rectangles;
    const DWORD size = GetRegionData(region, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER)) return rectangles;
    std::vector<unsigned char> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (GetRegionData(region, size, data) != size) return rectangles;
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i)
        rectangles.push_back({rects[i].left, rects[i].top, rects[i].right, rects[i].bottom});
    return rectangles;
}

ViewPoint clientPoint(LPARAM lParam) {
    return {static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
}

bool keyDown(int key) {
    return GetKeyState(key) < 0;
}

// Buttons and modifiers from a pointer message's key state; Alt from the keyboard.
ButtonFlags messageButtons(WPARAM wParam) {
    const WORD keys = GET_KEYSTATE_WPARAM(wParam);
    ButtonFlags buttons = 0;
    if (keys & MK_LBUTTON) buttons |= ButtonLeft;
    if (keys & MK_RBUTTON) buttons |= ButtonRight;
    if (keys & MK_MBUTTON) buttons |= ButtonMiddle;
    if (keys & MK_XBUTTON1) buttons |= ButtonExtra1;
    if (keys & MK_XBUTTON2) buttons |= ButtonExtra2;
    if (keys & MK_SHIFT) buttons |= ModShift;
    if (keys & MK_CONTROL) buttons |= ModControl;
    if (keyDown(VK_MENU)) buttons |= ModAlt;
    return buttons;
}

bool isFrameMessage(UINT message) {
    switch (message) {
    case WM_DESTROY:
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED:
    case WM_CTLCOLOREDIT:
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        return true;
    default:
        return false;
    }
}

} // namespace

// --- Win32FrameWindow ----------------------------------------------------------------------

class Win32FrameWindow final : public FrameWindow {
public:
    // Takes over one use of the window class and the window, storing itself and the frame in it.
    Win32FrameWindow(CFrame& frame, HWND window) : frame_(frame), window_(window) {
        SetWindowLongPtrW(window_, 0, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&frame_));
        // The first paint covers the whole window: every view the editor adds before it is
        // already inside, and asking the system again for each would cost a round trip each.
        InvalidateRect(window_, nullptr, TRUE);
        wholeInvalid_ = true;
    }

    ~Win32FrameWindow() override {
        dropMemorySurface();
        if (window_) {
            revokeDrop();
            // Cleared first: the destroy message below then finds no frame and goes to
            // default handling.
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            SetWindowLongPtrW(window_, 0, 0);
            DestroyWindow(window_);
            window_ = nullptr;
        }
        releaseFrameClass();
    }

    void* systemHandle() const override { return window_; }

    void invalidate(const ViewRect& rect) override {
        if (!window_ || wholeInvalid_) return;
        const RECT area{rect.left, rect.top, rect.right, rect.bottom};
        InvalidateRect(window_, &area, TRUE);
    }

    void requestLeaveNotification() override {
        if (!window_) return;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window_, 0};
        TrackMouseEvent(&track);
    }

    ViewPoint screenOrigin() const override { return platform::windowScreenOrigin(window_); }

    bool resizeWindows(int32_t width, int32_t height) override;
    bool outerPosition(ViewPoint& position) override;
    bool parentBounds(ViewRect& bounds) override;
    void setCursorKind(int32_t kind) override;
    bool enableDrop(bool enable) override;

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    CDropTarget* dropTarget() const { return dropTarget_; }

private:
    void revokeDrop() {
        if (!dropTarget_) return;
        // A data source may hold the target a little longer: it finds no frame then.
        dropTarget_->forgetFrame();
        if (window_) RevokeDragDrop(window_);
        dropTarget_->Release();
        dropTarget_ = nullptr;
    }
    void windowGone();
    void paint();
    // The memory surface behind the window: a device context with a DIB of the window's size
    // (also wrapped as an image for GDI+), made on first use and again after a resize. fresh:
    // just made, holding nothing.
    HDC memorySurface(HDC windowContext, bool& fresh);
    void dropMemorySurface();
    void press(WPARAM wParam, LPARAM lParam, ButtonFlags extra);
    void release(WPARAM wParam, LPARAM lParam, ButtonFlags extra);
    LRESULT wheel(UINT message, WPARAM wParam, LPARAM lParam);
    void captureLost(HWND newOwner);
    LRESULT editColours(UINT message, WPARAM wParam, LPARAM lParam);

    CFrame& frame_;
    HWND window_;
    CDropTarget* dropTarget_ = nullptr;
    HCURSOR savedCursor_ = nullptr;
    bool cursorSaved_ = false;
    // Set while the whole window waits for its first paint.
    bool wholeInvalid_ = false;
    HDC memoryContext_ = nullptr;
    HBITMAP memoryBitmap_ = nullptr;
    PlatformImage* memoryImage_ = nullptr; // the bitmap's bits, for GDI+
    uint8_t* memoryBits_ = nullptr;
    int32_t memoryStride_ = 0;
    HGDIOBJ memoryPrevious_ = nullptr;
    SIZE memorySize_{0, 0};
};

HDC Win32FrameWindow::memorySurface(HDC windowContext, bool& fresh) {
    fresh = false;
    RECT client{};
    GetClientRect(window_, &client);
    const SIZE size{client.right - client.left, client.bottom - client.top};
    if (memoryContext_ && (size.cx != memorySize_.cx || size.cy != memorySize_.cy))
        dropMemorySurface();
    if (memoryContext_ || size.cx <= 0 || size.cy <= 0) return memoryContext_;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy; // top-down rows, as GDI+ lays them out
    info.bmiHeader.biPlanes = 1;
    // 24 bits: a device context on a 32-bit bitmap makes some GDI+ implementations draw its
    // text as if on an image with alpha, where it differs from the window's (or vanishes).
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC context = CreateCompatibleDC(windowContext);
    HBITMAP bitmap = context
                         ? CreateDIBSection(windowContext, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                         : nullptr;
    Gdiplus::GpBitmap* image = nullptr;
    const int32_t stride = (size.cx * 3 + 3) & ~3; // rows padded to four bytes
    if (bitmap && bits &&
        Gdiplus::DllExports::GdipCreateBitmapFromScan0(
            size.cx, size.cy, stride, PixelFormat24bppRGB, static_cast<BYTE*>(bits), &image) !=
            Gdiplus::Ok)
        image = nullptr;
    if (!image) {
        if (bitmap) DeleteObject(bitmap);
        if (context) DeleteDC(context);
        return nullptr;
    }
    memoryContext_ = context;
    memoryBitmap_ = bitmap;
    memoryPrevious_ = SelectObject(context, bitmap);
    memoryImage_ = new PlatformImage(image);
    memoryBits_ = static_cast<uint8_t*>(bits);
    memoryStride_ = stride;
    memorySize_ = size;
    fresh = true;
    return memoryContext_;
}

void Win32FrameWindow::dropMemorySurface() {
    if (!memoryContext_) return;
    delete memoryImage_;
    SelectObject(memoryContext_, memoryPrevious_);
    DeleteObject(memoryBitmap_);
    DeleteDC(memoryContext_);
    memoryImage_ = nullptr;
    memoryBits_ = nullptr;
    memoryStride_ = 0;
    memoryContext_ = nullptr;
    memoryBitmap_ = nullptr;
    memoryPrevious_ = nullptr;
    memorySize_ = {0, 0};
}

bool Win32FrameWindow::resizeWindows(int32_t width, int32_t height) {
    // The frame window and each window around it that it fills grow with it; the margins a
    // parent adds around its child are kept. The walk ends at the host's MDI client, at the
    // top, at a plain dialog frame, or when the margins show the parent is more than a frame.
    const int dialogFrames = 2 * GetSystemMetrics(SM_CYDLGFRAME);
    int marginWidth = 0;
    int marginHeight = 0;
    bool resized = false;
    HWND window = window_;
    while (window) {
        RECT own{};
        GetWindowRect(window, &own);
        SetWindowPos(window, nullptr, 0, 0, width + marginWidth, height + marginHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        resized = true;
        if (marginWidth == dialogFrames && window != window_) break;
        HWND parent = GetParent(window);
        if (!parent) break;
        wchar_t className[32] = {};
        GetClassNameW(parent, className, 32);
        if (lstrcmpiW(className, L"MDIClient") == 0) break;
        RECT outer{};
        GetWindowRect(parent, &outer);
        const int addedWidth = (outer.right - outer.left) - (own.right - own.left);
        const int addedHeight = (outer.bottom - outer.top) - (own.bottom - own.top);
        marginWidth += addedWidth > 0 ? addedWidth : 0;
        marginHeight += addedHeight > 0 ? addedHeight : 0;
        if (marginWidth > 80 || marginHeight > 80) return true;
        window = parent;
    }
    return resized;
}

bool Win32FrameWindow::outerPosition(ViewPoint& position) {
    if (!window_) return false;
    // The outer window: the first with a caption, without a parent, or clearly smaller than
    // its parent (more than 60 pixels of margins across).
    HWND window = window_;
    for (;;) {
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) break;
        HWND parent = GetParent(window);
        if (!parent) break;
        RECT own{}, outer{};
        GetWindowRect(window, &own);
        GetWindowRect(parent, &outer);
        if ((outer.right - outer.left) - (own.right - own.left) > 60 ||
            (outer.bottom - outer.top) - (own.bottom - own.top) > 60)
            break;
        window = parent;
    }
    RECT area{};
    GetWindowRect(window, &area);
    POINT topLeft{area.left, area.top};
    if (HWND parent = GetParent(window)) ScreenToClient(parent, &topLeft);
    position = {topLeft.x, topLeft.y};
    return true;
}

bool Win32FrameWindow::parentBounds(ViewRect& bounds) {
    HWND parent = window_ ? GetParent(window_) : nullptr;
    if (!parent) return false;
    RECT area{};
    if (!GetWindowRect(parent, &area)) return false;
    POINT topLeft{area.left, area.top};
    if (HWND grandparent = GetParent(parent)) ScreenToClient(grandparent, &topLeft);
    bounds =
        ViewRect::fromSize({topLeft.x, topLeft.y}, area.right - area.left, area.bottom - area.top);
    return true;
}

void Win32FrameWindow::setCursorKind(int32_t kind) {
    if (!cursorSaved_) {
        savedCursor_ = GetCursor();
        cursorSaved_ = true;
    }
    WORD cursor = 0;
    switch (kind) {
    case 1:
        cursor = 32514;
        break; // wait
    case 2:
        cursor = 32644;
        break; // size west-east
    case 3:
        cursor = 32645;
        break; // size north-south
    case 4:
        cursor = 32646;
        break; // size all
    case 5:
        cursor = 32643;
        break; // size north-east/south-west
    case 6:
        cursor = 32642;
        break; // size north-west/south-east
    case 8:
        cursor = 32648;
        break; // not allowed
    case 9:
        cursor = 32649;
        break; // hand
    default:
        break;
    }
    SetCursor(cursor ? LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor)) : savedCursor_);
}

bool Win32FrameWindow::enableDrop(bool enable) {
    if (!enable) {
        revokeDrop();
        return true;
    }
    if (!window_) return false;
    if (dropTarget_) return true;
    // Needs OLE on this thread (the frame initialises it before it enables dropping). The
    // target counts from 0: this window's reference is its first, OLE's registration adds one.
    auto* target = new CDropTarget(frame_);
    target->AddRef();
    if (FAILED(RegisterDragDrop(window_, target))) {
        target->Release();
        return false;
    }
    dropTarget_ = target;
    return true;
}

void Win32FrameWindow::windowGone() {
    // The host destroyed its window (and with it ours) before closing the editor: revoke while
    // the handle is still valid, then forget it so no later cleanup calls it.
    revokeDrop();
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    SetWindowLongPtrW(window_, 0, 0);
    window_ = nullptr;
    frame_.windowDestroyed();
}

void Win32FrameWindow::paint() {
    HWND window = window_;
    // From here on, what is invalid again is what the views ask for.
    wholeInvalid_ = false;
    // The update region's own rectangles: two knobs far apart are two small paints, not one
    // of the box around both. A memory surface yet to be made is painted over the whole box.
    std::vector<ViewRect> areas;
    if (HRGN region = memoryContext_ ? CreateRectRgn(0, 0, 0, 0) : nullptr) {
        if (GetUpdateRgn(window, region, FALSE) != ERROR) areas = regionRectangles(region);
        DeleteObject(region);
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    const ViewRect box{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right,
                       paint.rcPaint.bottom};
    if (box.isEmpty()) {
        // Nothing was invalid (an internal paint request): nothing to draw.
        EndPaint(window, &paint);
        return;
    }
    if (areas.empty()) areas.push_back(box);
    bool fresh = false;
    if (!dc) {
        // Nothing to paint on.
    } else if (COffscreenContext* backbuffer = frame_.backbuffer()) {
        auto* onWindow = new CDrawContext(&frame_, dc, window);
        frame_.paintArea(backbuffer, box);
        backbuffer->copyTo(onWindow, box, box.topLeft());
        onWindow->release();
    } else if (HDC memory = memorySurface(dc, fresh)) {
        // Composed on a memory device context, copied to the window once. A fresh surface
        // holds nothing yet, so it is painted over the whole box it gives; outside the update
        // region it holds what the window shows already, and the copy is clipped to that
        // region anyway.
        auto* onMemory =
            new ComposedContext(&frame_,
                                std::make_unique<ComposedSurface>(
                                    window, memory, memoryImage_, memoryBits_, memoryStride_,
                                    ViewRect{0, 0, memorySize_.cx, memorySize_.cy}),
                                {0, 0, memorySize_.cx, memorySize_.cy});
        if (fresh) {
            frame_.paintArea(onMemory, box);
        } else {
            for (const ViewRect& area : areas)
                frame_.paintArea(onMemory, area);
        }
        onMemory->release();
        GdiFlush();
        BitBlt(dc, box.left, box.top, box.width(), box.height(), memory, box.left, box.top,
               SRCCOPY);
    } else {
        auto* onWindow = new CDrawContext(&frame_, dc, window);
        for (const ViewRect& area : areas)
            frame_.paintArea(onWindow, area);
        onWindow->release();
    }
    EndPaint(window, &paint);
}

void Win32FrameWindow::press(WPARAM wParam, LPARAM lParam, ButtonFlags extra) {
    const PointerReply reply =
        frame_.pointerDown(clientPoint(lParam), messageButtons(wParam) | extra);
    // The moves and the release then reach the frame even outside its window.
    if (reply == Taken && window_) SetCapture(window_);
}

void Win32FrameWindow::release(WPARAM wParam, LPARAM lParam, ButtonFlags extra) {
    frame_.pointerUp(clientPoint(lParam), messageButtons(wParam) | extra);
    // The drag ended above, so the capture-changed message this sends finds no pointer-down
    // view and ends nothing a second time.
    if (window_ && GetCapture() == window_) ReleaseCapture();
}

LRESULT Win32FrameWindow::wheel(UINT message, WPARAM wParam, LPARAM lParam) {
    ButtonFlags buttons = 0;
    if (keyDown(VK_SHIFT)) buttons |= ModShift;
    if (keyDown(VK_CONTROL)) buttons |= ModControl;
    if (keyDown(VK_MENU)) buttons |= ModAlt;
    // Screen coordinates, negative on monitors left of or above the primary one.
    const ViewPoint screen = clientPoint(lParam);
    const ViewPoint origin = screenOrigin();
    const ViewPoint point{screen.x - origin.x, screen.y - origin.y};
    const int notches = static_cast<int>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
    HWND window = window_;
    if (frame_.scrollWheel(point, static_cast<float>(notches), buttons)) return 0;
    // Not taken: the host (the parent) may scroll with it.
    return window ? DefWindowProcW(window, message, wParam, lParam) : 0;
}

void Win32FrameWindow::captureLost(HWND newOwner) {
    // Another window took the pointer (Alt+Tab, a dialog) while a control was dragged: the
    // release will never come here, so the drag ends now and its gesture gets its end.
    if (newOwner == window_ || !frame_.pointerDownView()) return;
    ViewPoint point;
    frame_.pointerNow(point);
    frame_.pointerUp(point, frame_.buttonsNow());
}

LRESULT Win32FrameWindow::editColours(UINT message, WPARAM wParam, LPARAM lParam) {
    // Only the box of the text edit that has the focus and is being edited gets its colours;
    // any other EDIT is drawn as the system draws it.
    ViewColor ink, paper;
    CView* focus = frame_.focusedView();
    if (TextEditBox* open = focus ? focus->openEditBox(ink, paper) : nullptr) {
        auto* box = static_cast<Win32EditBox*>(open);
        if (box->systemHandle() == reinterpret_cast<HWND>(lParam)) {
            auto* dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, ink.systemColor());
            SetBkColor(dc, paper.systemColor());
            return reinterpret_cast<LRESULT>(box->replaceBrush(paper.systemColor()));
        }
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT Win32FrameWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
    case WM_DESTROY:
        windowGone();
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEMOVE:
        frame_.pointerMoved(clientPoint(lParam), messageButtons(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        press(wParam, lParam, 0);
        return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        press(wParam, lParam, ClickDouble);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        release(wParam, lParam, 0);
        return 0;
    // The extra buttons' messages name the button that changed in the high word; a handled
    // one answers TRUE so the system does not turn it into a command as well.
    case WM_XBUTTONDOWN:
        press(wParam, lParam, 0);
        return TRUE;
    case WM_XBUTTONDBLCLK:
        press(wParam, lParam, ClickDouble);
        return TRUE;
    case WM_XBUTTONUP:
        release(wParam, lParam, 0);
        return TRUE;
    case WM_MOUSEWHEEL:
        return wheel(message, wParam, lParam);
    case WM_MOUSELEAVE: {
        ViewPoint point;
        frame_.pointerNow(point);
        frame_.pointerExited(point, frame_.buttonsNow());
        return 0;
    }
    case WM_CAPTURECHANGED:
        captureLost(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_CTLCOLOREDIT:
        return editColours(message, wParam, lParam);
    case WM_MEASUREITEM:
        if (wParam == 0 && measureMenuEntry(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
            return TRUE;
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DRAWITEM:
        if (wParam == 0 && drawMenuEntry(frame_, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
            return TRUE;
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// --- the window procedure ------------------------------------------------------------------

namespace {

LRESULT CALLBACK frameWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<CFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    auto* frameWindow = reinterpret_cast<Win32FrameWindow*>(GetWindowLongPtrW(window, 0));
    // A frame without references is inside its destructor (a child window it destroys makes
    // the system send it messages): retaining it here would delete it a second time.
    if (!frame || !frameWindow || frame->referenceCount() <= 0 || !isFrameMessage(message))
        return DefWindowProcW(window, message, wParam, lParam);

    // A host may close the editor, or shut the instance down, from inside the handling (a
    // control's modal loop runs the host's idle). The editor defers that until its outermost
    // call returns, and the retained frame outlives its own message.
    QXAGUIEditorInterface* editor = frame->editor();
    if (editor) editor->enterEditorCall();
    LRESULT result;
    {
        RetainScope<CFrame> keepFrame(frame);
        result = frameWindow->handle(message, wParam, lParam);
    }
    // Nothing of the frame or its window is touched from here: the release may have ended them.
    if (editor) editor->leaveEditorCall();
    return result;
}

} // namespace

std::wstring frameClassName() {
    char name[48];
    std::snprintf(name, sizeof(name), "Plugin%p", static_cast<void*>(toolkitModule()));
    return widen(name);
}

int32_t frameClassUsers() {
    std::lock_guard<std::mutex> lock(classMutex);
    return classUsers;
}

CDropTarget* registeredDropTarget(HWND frameWindow) {
    auto* frameWindowObject =
        frameWindow ? reinterpret_cast<Win32FrameWindow*>(GetWindowLongPtrW(frameWindow, 0))
                    : nullptr;
    return frameWindowObject ? frameWindowObject->dropTarget() : nullptr;
}

} // namespace win32

namespace platform {

std::unique_ptr<FrameWindow> createFrameWindow(CFrame& frame, void* hostWindow) {
    if (!hostWindow || !win32::acquireFrameClass()) return nullptr;
    const ViewRect& bounds = frame.bounds();
    // Composited windows let the system double-buffer the frame; older systems have no such
    // style and paint through the frame's backbuffer instead.
    const DWORD extendedStyle = osMajorVersion() >= 6 ? WS_EX_COMPOSITED : 0;
    HWND window = CreateWindowExW(extendedStyle, win32::frameClassName().c_str(), L"Window",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  bounds.width(), bounds.height(), static_cast<HWND>(hostWindow),
                                  nullptr, win32::toolkitModule(), nullptr);
    if (!window) {
        win32::releaseFrameClass();
        return nullptr;
    }
    return std::make_unique<win32::Win32FrameWindow>(frame, window);
}

} // namespace platform
} // namespace QXAGUI
