// The Win32 back-end's system services: the module handle, text conversion, OLE per thread,
// the clock, the cursor and buttons, the second-click wait, the modal paint dispatch and the
// operating system's version.
#include "win32_platform.h"

#include <atomic>

namespace QXAGUI {
namespace win32 {

namespace {
std::atomic<TickSource> secondClickClock{nullptr};
} // namespace

DWORD secondClickNow() {
    const TickSource source = secondClickClock.load(std::memory_order_relaxed);
    return source ? source() : GetTickCount();
}

void setSecondClickClock(TickSource source) {
    secondClickClock.store(source, std::memory_order_relaxed);
}

HMODULE toolkitModule() {
    // Any function of this library names its module: the plug-in DLL inside a host, the
    // executable in the tests. The host's handle would find neither the class nor the images.
    static const HMODULE module = [] {
        HMODULE found = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&toolkitModule), &found);
        return found;
    }();
    return module;
}

std::wstring widen(const char* text, size_t maxCharacters) {
    if (!text || !*text) return {};
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (needed <= 1) return {};
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), needed);
    wide.resize(static_cast<size_t>(needed - 1));
    if (wide.size() > maxCharacters) wide.resize(maxCharacters);
    return wide;
}

std::string narrow(const wchar_t* text, size_t length, size_t maxBytes) {
    if (!text || length == 0 || maxBytes == 0) return {};
    const int wideLength = static_cast<int>(length < 0x7fffffff ? length : 0x7fffffff);
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string bytes(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, wideLength, bytes.data(), needed, nullptr, nullptr);
    if (bytes.size() > maxBytes) {
        size_t cut = maxBytes;
        // Never end inside a character: back up to the start of the one cut in two.
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.resize(cut);
    }
    return bytes;
}

namespace {
// -1 until first read; then 0 or 1.
std::atomic<int> swapState{-1};
// Successful OleInitialize calls of this thread: only those may be undone here.
thread_local int32_t oleDepth = 0;
} // namespace

void recordButtonSwap() {
    swapState.store(GetSystemMetrics(SM_SWAPBUTTON) != 0 ? 1 : 0);
}

bool buttonsSwapped() {
    if (swapState.load() < 0) recordButtonSwap();
    return swapState.load() == 1;
}

int32_t oleDepthOfThisThread() {
    return oleDepth;
}

} // namespace win32

namespace platform {

ViewPoint windowScreenOrigin(void* window) {
    POINT origin{0, 0};
    if (!window || !ClientToScreen(static_cast<HWND>(window), &origin)) return {};
    return {origin.x, origin.y};
}

bool initializeOle() {
    // S_FALSE (already initialised here) counts too: it must be balanced like S_OK. A thread
    // in another apartment mode answers RPC_E_CHANGED_MODE and must not be uninitialised.
    if (FAILED(OleInitialize(nullptr))) return false;
    ++win32::oleDepth;
    return true;
}

void uninitializeOle() {
    if (win32::oleDepth <= 0) return;
    --win32::oleDepth;
    OleUninitialize();
}

uint32_t tickCount() {
    return GetTickCount();
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

uint32_t doubleClickMilliseconds() {
    return GetDoubleClickTime();
}

ViewPoint cursorScreenPosition() {
    POINT position{0, 0};
    GetCursorPos(&position);
    return {position.x, position.y};
}

ButtonFlags asyncButtons() {
    // The asynchronous state reports the physical buttons; a left-handed setting swaps which
    // one is the primary.
    const bool swapped = win32::buttonsSwapped();
    auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    ButtonFlags buttons = 0;
    if (down(VK_LBUTTON)) buttons |= swapped ? ButtonRight : ButtonLeft;
    if (down(VK_MBUTTON)) buttons |= ButtonMiddle;
    if (down(VK_RBUTTON)) buttons |= swapped ? ButtonLeft : ButtonRight;
    if (down(VK_SHIFT)) buttons |= ModShift;
    if (down(VK_CONTROL)) buttons |= ModControl;
    if (down(VK_MENU)) buttons |= ModAlt;
    return buttons;
}

bool awaitSecondClick(const ViewRect& screenBox) {
    // Measured from the message that brought the first press; tick counts wrap, so only the
    // unsigned difference is compared.
    const DWORD firstPress = static_cast<DWORD>(GetMessageTime());
    const DWORD limit = GetDoubleClickTime();
    auto expired = [&] { return win32::secondClickNow() - firstPress >= limit; };
    if (expired()) return false;
    for (;;) {
        POINT cursor{0, 0};
        GetCursorPos(&cursor);
        if (!screenBox.pointInside({cursor.x, cursor.y})) return false;
        // The frame's class asks for double-click messages, so the second press of a quick
        // pair arrives as WM_LBUTTONDBLCLK rather than WM_LBUTTONDOWN.
        MSG message;
        if (PeekMessageW(&message, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE) ||
            PeekMessageW(&message, nullptr, WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK, PM_REMOVE))
            return true;
        if (expired()) return false;
        Sleep(1);
    }
}

void dispatchOnePaintMessage() {
    MSG message;
    if (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
}

int32_t osMajorVersion() {
    // RtlGetVersion tells the truth where GetVersionEx is shimmed to an older version for
    // programs without a compatibility manifest (every host that loads a plug-in may be one).
    static const int32_t major = [] {
        using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
            auto function = reinterpret_cast<RtlGetVersionFunction>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
            if (function && function(&info) == 0) return static_cast<int32_t>(info.dwMajorVersion);
        }
        return static_cast<int32_t>(LOBYTE(LOWORD(GetVersion())));
    }();
    return major;
}

} // namespace platform
} // namespace QXAGUI
