#include "editor_host.h"

#include "binary_dir.h"

#include <cstdio>
#include <cstring>

namespace {

// The host whose entry function is running: its record carries no host data yet.
EditorHost* hostBeingLoaded = nullptr;

// The host window's property that leads its window procedure to its EditorHost.
constexpr const char* kHostProperty = "EditorHost";

constexpr float kSampleRate = 44100.0f;
constexpr int32_t kBlockSize = 512;

// A crash of the plug-in ends the test at once with where it happened (module and offset, for
// addr2line), instead of waiting for a debugger: under Wine one would wait without end.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "editor window test: unhandled exception 0x%08lX; return addresses:\n",
                 static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    void* frames[48];
    const USHORT count = RtlCaptureStackBackTrace(0, 48, frames, nullptr);
    for (USHORT i = 0; i < count; ++i) {
        HMODULE module = nullptr;
        char path[MAX_PATH] = "?";
        if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCSTR>(frames[i]), &module))
            GetModuleFileNameA(module, path, MAX_PATH);
        const char* name = std::strrchr(path, '\\');
        std::fprintf(stderr, "  %p  %s+0x%llx\n", frames[i], name != nullptr ? name + 1 : path,
                     static_cast<unsigned long long>(static_cast<char*>(frames[i]) -
                                                     reinterpret_cast<char*>(module)));
    }
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

std::unique_ptr<EditorHost> EditorHost::load(const std::string& pluginName, std::string& error) {
    static const LPTOP_LEVEL_EXCEPTION_FILTER previousFilter =
        SetUnhandledExceptionFilter(reportCrash);
    (void)previousFilter;
    std::unique_ptr<EditorHost> host(new EditorHost);
    const std::string path = testing_paths::pluginPath(pluginName);
    host->library_ = PluginLibrary::open(path, error);
    if (!host->library_) return nullptr;
    auto entry = reinterpret_cast<PluginEntryFunction>(host->library_->symbol("QXAPluginMain"));
    if (entry == nullptr) {
        error = path + " exports no QXAPluginMain";
        return nullptr;
    }
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(entry), &host->module_);
    hostBeingLoaded = host.get();
    DescriptorRecord* record = entry(&EditorHost::hostCallback);
    hostBeingLoaded = nullptr;
    if (record == nullptr || record->signature != kDescriptorSignature) {
        host->shutDown_ = true;
        error = path + " built no instance";
        return nullptr;
    }
    record->hostData = host.get();
    host->record_ = record;
    host->dispatch(Initialise);
    host->dispatch(SampleRateChange, 0, 0, nullptr, kSampleRate);
    host->dispatch(BlockSizeChange, 0, kBlockSize);
    host->dispatch(PowerChange, 0, 1);
    return host;
}

EditorHost::~EditorHost() {
    if (record_ != nullptr && !shutDown_) {
        dispatch(EditorDetach);
        pumpMessages();
        shutdown();
    }
    // The window goes before the library: the editor's window class lives in the library.
    window_.reset();
    record_ = nullptr;
    library_.reset();
}

intptr_t EditorHost::hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                  intptr_t /*value*/, void* pointer, float option) {
    EditorHost* host = hostBeingLoaded;
    if (effect != nullptr && effect->hostData != nullptr)
        host = static_cast<EditorHost*>(effect->hostData);
    if (host == nullptr) return answerHostRequest(opcode, pointer, HostAnswers{});
    return host->answer(opcode, index, pointer, option);
}

intptr_t EditorHost::answer(int32_t opcode, int32_t index, void* pointer, float option) {
    switch (opcode) {
    case ParameterChanged:
    case GestureBegin:
    case GestureEnd:
        requests_.push_back({opcode, index, option});
        break;
    case GiveTime:
        requests_.push_back({opcode, 0, 0.0f});
        if (onNextHostIdle_) {
            const std::function<void()> action = std::move(onNextHostIdle_);
            onNextHostIdle_ = nullptr;
            action();
        }
        break;
    default:
        break;
    }
    HostAnswers answers;
    answers.sampleRate = kSampleRate;
    answers.blockSize = kBlockSize;
    return answerHostRequest(opcode, pointer, answers);
}

intptr_t EditorHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                              float option) {
    if (record_ == nullptr || shutDown_) return 0;
    return record_->dispatchFn(record_, opcode, index, value, pointer, option);
}

void EditorHost::writeParameter(int32_t index, float value) {
    if (record_ != nullptr && !shutDown_) record_->writeParameterFn(record_, index, value);
}

float EditorHost::readParameter(int32_t index) {
    if (record_ == nullptr || shutDown_) return -1.0f;
    return record_->readParameterFn(record_, index);
}

void EditorHost::shutdown() {
    if (record_ == nullptr || shutDown_) return;
    // Marked first: a shutdown asked for from inside a host request may be carried out later.
    DescriptorRecord* record = record_;
    shutDown_ = true;
    record->dispatchFn(record, Shutdown, 0, 0, nullptr, 0.0f);
}

int32_t EditorHost::liveToolkitObjects() {
    int32_t live = -1;
    if (dispatch(VendorPrivateCall, kToolkitQueryIndex, kToolkitLiveObjectsValue, &live) != 1)
        return -1;
    return live;
}

SIZE EditorHost::editorSize() {
    EditorRect* rect = nullptr;
    if (dispatch(EditorBoundsQuery, 0, 0, &rect) == 0 || rect == nullptr) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

bool EditorHost::openEditor(std::string& error) {
    const SIZE size = editorSize();
    if (size.cx <= 0 || size.cy <= 0) {
        error = "the editor reports no size (opcode 13)";
        return false;
    }
    if (!window_) {
        window_ = EditorWindow::create(EditorWindow::Kind::Capture, "editor window test", size.cx,
                                       size.cy, error);
        if (!window_) return false;
        // qxahost's window procedure, wrapped to count what the editor passes on to it.
        HWND window = hostWindow();
        SetPropA(window, kHostProperty, this);
        hostProcedure_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditorHost::countingHostProcedure)));
    }
    if (dispatch(EditorAttach, 0, 0, window_->handle()) == 0) {
        error = "the editor did not open (opcode 14 answered 0)";
        return false;
    }
    window_->show();
    pumpMessages();
    return true;
}

LRESULT CALLBACK EditorHost::countingHostProcedure(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    auto* host = static_cast<EditorHost*>(GetPropA(window, kHostProperty));
    if (host == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_MOUSEWHEEL) ++host->hostWheelMessages_;
    if (message == WM_NCDESTROY) RemovePropA(window, kHostProperty);
    return CallWindowProcA(host->hostProcedure_, window, message, wParam, lParam);
}

void EditorHost::closeEditor() {
    dispatch(EditorDetach);
    pumpMessages();
}

void EditorHost::idle(int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        dispatch(EditorTick);
        pumpMessages();
    }
}

void EditorHost::pumpMessages() {
    if (window_) window_->pumpMessages();
}

HWND EditorHost::hostWindow() const {
    return window_ ? static_cast<HWND>(window_->handle()) : nullptr;
}

void EditorHost::destroyHostWindow() {
    window_.reset();
}

std::string EditorHost::frameClassName() const {
    char name[48];
    std::snprintf(name, sizeof(name), "Plugin%p", static_cast<void*>(module_));
    return name;
}

HWND EditorHost::editorWindow() const {
    HWND host = hostWindow();
    if (host == nullptr) return nullptr;
    return FindWindowExA(host, nullptr, frameClassName().c_str(), "Window");
}

int EditorHost::childWindowCount() const {
    int count = 0;
    if (HWND host = hostWindow())
        for (HWND child = GetWindow(host, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT))
            ++count;
    return count;
}

PngImage EditorHost::capture(RECT area) {
    PngImage image;
    HWND window = editorWindow();
    if (window == nullptr) return image;
    RedrawWindow(hostWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    if (IsRectEmpty(&area)) GetClientRect(window, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowContext = GetDC(window);
    HDC memoryContext = CreateCompatibleDC(windowContext);
    HBITMAP bitmap = CreateDIBSection(windowContext, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memoryContext != nullptr && bitmap != nullptr && bits != nullptr) {
        const HGDIOBJ previous = SelectObject(memoryContext, bitmap);
        if (BitBlt(memoryContext, 0, 0, width, height, windowContext, area.left, area.top,
                   SRCCOPY)) {
            GdiFlush();
            image.width = width;
            image.height = height;
            const auto* pixels = static_cast<const uint32_t*>(bits);
            image.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
            for (uint32_t& pixel : image.pixels)
                pixel &= 0xFFFFFFu;
        }
        SelectObject(memoryContext, previous);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memoryContext != nullptr) DeleteDC(memoryContext);
    ReleaseDC(window, windowContext);
    return image;
}

LRESULT EditorHost::send(UINT message, WPARAM wParam, POINT point) {
    HWND window = editorWindow();
    if (window == nullptr) return -1;
    return SendMessageW(window, message, wParam,
                        MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y)));
}

LRESULT EditorHost::press(POINT point, WPARAM keys) {
    return send(WM_LBUTTONDOWN, MK_LBUTTON | keys, point);
}

LRESULT EditorHost::moveTo(POINT point, WPARAM keys) {
    return send(WM_MOUSEMOVE, MK_LBUTTON | keys, point);
}

LRESULT EditorHost::release(POINT point, WPARAM keys) {
    return send(WM_LBUTTONUP, keys, point);
}

void EditorHost::click(POINT point, WPARAM keys) {
    press(point, keys);
    release(point, keys);
}

LRESULT EditorHost::wheelAt(POINT point, int notches) {
    HWND window = editorWindow();
    if (window == nullptr) return -1;
    ClientToScreen(window, &point);
    const WPARAM wParam =
        MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA)));
    return send(WM_MOUSEWHEEL, wParam, point);
}

void EditorHost::movePointerTo(POINT point) {
    if (HWND window = editorWindow()) ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
}

std::vector<std::string> EditorHost::edits() const {
    std::vector<std::string> lines;
    char text[64];
    for (const Request& request : requests_) {
        switch (request.opcode) {
        case ParameterChanged:
            std::snprintf(text, sizeof(text), "changed %d %g", request.index,
                          static_cast<double>(request.value));
            break;
        case GestureBegin:
            std::snprintf(text, sizeof(text), "begin %d", request.index);
            break;
        case GestureEnd:
            std::snprintf(text, sizeof(text), "end %d", request.index);
            break;
        default:
            continue;
        }
        lines.emplace_back(text);
    }
    return lines;
}

int EditorHost::hostIdleRequests() const {
    int count = 0;
    for (const Request& request : requests_)
        if (request.opcode == GiveTime) ++count;
    return count;
}
