// OLE drag and drop into the frame window: the drop target that routes a drag through the
// frame's view tree, and the drag container that reads text and files from the data object.
//
//   drop target call    frame call (point: the drag's, in frame coordinates)    effect answered
//   DragEnter           dragEntered (a new drag container becomes the drag)      chosen (*)
//   DragOver            dragHovered                                               chosen (*)
//   (enter and over answer none where no view takes the drag: takesDrop)
//   DragLeave           dragExited; the drag ends                                 -
//   Drop                dropData; the drag ends                                   chosen (*) when
//                                                                                 a view took it,
//                                                                                 else none
//   (*) copy when allowed, else move, else link, else none; none without data or frame.
//
// A source that offered move deletes its original when the drop answers move: so a drop no
// view took answers none.
#include "win32_platform.h"

#include "cframe.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cwctype>

namespace QXAGUI {
namespace win32 {
namespace {

constexpr UINT kPathCharacters = 2048;
constexpr DWORD kResolveMilliseconds = 100;

std::atomic<int32_t> dropTargets{0};

// The drag in progress, and the target that started it. One for the module: a drag is modal.
WinDragContainer* currentDrag = nullptr;
CDropTarget* currentDragTarget = nullptr;

void endDrag() {
    WinDragContainer* drag = currentDrag;
    currentDrag = nullptr;
    currentDragTarget = nullptr;
    if (drag) drag->release();
}

DWORD chosenEffect(DWORD allowed) {
    if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
    if (allowed & DROPEFFECT_MOVE) return DROPEFFECT_MOVE;
    if (allowed & DROPEFFECT_LINK) return DROPEFFECT_LINK;
    return DROPEFFECT_NONE;
}

// One storage medium of the data object, released when the scope ends (through its release
// object when the data object gave one, else by freeing the block: ReleaseStgMedium does both).
class Medium {
public:
    Medium(IDataObject* data, CLIPFORMAT format) {
        FORMATETC request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        held_ = data && SUCCEEDED(data->GetData(&request, &medium_));
        if (held_ && (medium_.tymed != TYMED_HGLOBAL || !medium_.hGlobal)) release();
    }
    ~Medium() { release(); }
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;

    explicit operator bool() const { return held_; }
    HGLOBAL block() const { return medium_.hGlobal; }

private:
    void release() {
        if (held_) ReleaseStgMedium(&medium_);
        held_ = false;
    }
    STGMEDIUM medium_{};
    bool held_ = false;
};

UINT fileCount(HGLOBAL block) {
    return DragQueryFileW(static_cast<HDROP>(block), 0xFFFFFFFF, nullptr, 0);
}

bool isShortcut(const std::wstring& path) {
    if (path.size() < 4) return false;
    const wchar_t* extension = path.c_str() + path.size() - 4;
    return extension[0] == L'.' && std::towlower(extension[1]) == L'l' &&
           std::towlower(extension[2]) == L'n' && std::towlower(extension[3]) == L'k';
}

} // namespace

// --- WinDragContainer ------------------------------------------------------------------------

WinDragContainer::WinDragContainer(IDataObject* data) : data_(data) {
    if (!data_) return;
    data_->AddRef();
    if (Medium text{data_, CF_UNICODETEXT}) {
        count_ = 1;
    } else if (Medium files{data_, CF_HDROP}) {
        count_ = static_cast<int32_t>(fileCount(files.block()));
    }
}

WinDragContainer::~WinDragContainer() {
    if (data_) data_->Release();
}

int32_t WinDragContainer::itemCount() {
    return count_;
}

int32_t WinDragContainer::itemType(int32_t index) {
    if (!data_) return DragItemError;
    if (Medium text{data_, CF_UNICODETEXT}) return DragItemText;
    Medium files{data_, CF_HDROP};
    if (files && index >= 0 && static_cast<UINT>(index) < fileCount(files.block()))
        return DragItemFile;
    return DragItemNone;
}

const char* WinDragContainer::firstItem(int32_t& size, int32_t& type) {
    next_ = 0;
    return nextItem(size, type);
}

const char* WinDragContainer::nextItem(int32_t& size, int32_t& type) {
    item_.clear();
    size = 0;
    type = DragItemNone;
    if (!data_) {
        type = DragItemError;
        return nullptr;
    }
    if (Medium text{data_, CF_UNICODETEXT}) {
        // The text is one item.
        if (next_ != 0) return nullptr;
        next_ = 1;
        const auto* wide = static_cast<const wchar_t*>(GlobalLock(text.block()));
        if (!wide) return nullptr;
        // A text without its terminating zero ends with its block.
        const size_t capacity = GlobalSize(text.block()) / sizeof(wchar_t);
        size_t length = 0;
        while (length < capacity && wide[length] != L'\0')
            ++length;
        item_ = narrow(wide, length);
        GlobalUnlock(text.block());
        if (item_.empty()) return nullptr;
        size = static_cast<int32_t>(item_.size());
        type = DragTextItem;
        return item_.c_str();
    }
    // The path as dropped: a shortcut is resolved only for a view that takes files.
    const std::wstring path = filePath(next_);
    if (path.empty()) return nullptr;
    ++next_;
    item_ = narrow(path.c_str(), path.size());
    size = static_cast<int32_t>(item_.size());
    type = DragItemFile;
    return item_.c_str();
}

std::wstring WinDragContainer::filePath(int32_t index) {
    Medium files{data_, CF_HDROP};
    if (!files || index < 0 || static_cast<UINT>(index) >= fileCount(files.block())) return {};
    wchar_t name[kPathCharacters] = {};
    const UINT length = DragQueryFileW(static_cast<HDROP>(files.block()), static_cast<UINT>(index),
                                       name, kPathCharacters);
    return std::wstring(name, length < kPathCharacters ? length : kPathCharacters - 1);
}

const char* WinDragContainer::resolvedFile(int32_t index) {
    item_.clear();
    if (!data_) return nullptr;
    std::wstring path = filePath(index);
    if (path.empty()) return nullptr;
    if (isShortcut(path)) resolveShortcut(path);
    item_ = narrow(path.c_str(), path.size());
    return item_.c_str();
}

bool resolveShortcut(std::wstring& path) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool resolved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        // Without user interface the high word is the time-out. No search, no link tracking,
        // and the user's shortcut is never written back.
        const DWORD resolveFlags =
            MAKELONG(SLR_NO_UI | SLR_ANY_MATCH | SLR_NOUPDATE | SLR_NOSEARCH | SLR_NOTRACK,
                     kResolveMilliseconds);
        wchar_t target[kPathCharacters] = {};
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
            SUCCEEDED(link->Resolve(nullptr, resolveFlags)) &&
            link->GetPath(target, kPathCharacters, nullptr, SLGP_SHORTPATH) == S_OK &&
            target[0] != L'\0') {
            path = target;
            resolved = true;
        }
        file->Release();
    }
    link->Release();
    return resolved;
}

// --- CDropTarget -----------------------------------------------------------------------------

CDropTarget::CDropTarget(CFrame& frame) : frame_(&frame) {
    ++dropTargets;
}

CDropTarget::~CDropTarget() {
    if (currentDragTarget == this) endDrag();
    --dropTargets;
}

void CDropTarget::forgetFrame() {
    if (currentDragTarget == this) endDrag();
    frame_ = nullptr;
}

HRESULT STDMETHODCALLTYPE CDropTarget::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDropTarget::AddRef() {
    return ++references_;
}

ULONG STDMETHODCALLTYPE CDropTarget::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

// Calls call(frame, drag, point) with the frame kept alive and inside the editor's call bracket
// (a view's reaction may make the host close the editor); answers what it answers.
template <typename Call>
bool CDropTarget::route(POINTL screenPoint, Call call) {
    CFrame* frame = frame_;
    WinDragContainer* drag = currentDrag;
    if (!frame || !drag) return false;
    // The drag's own point rather than the cursor's: they differ when the calls queue up.
    const ViewPoint origin = platform::windowScreenOrigin(frame->systemWindow());
    const ViewPoint point{screenPoint.x - origin.x, screenPoint.y - origin.y};
    QXAGUIEditorInterface* editor = frame->editor();
    if (editor) editor->enterEditorCall();
    bool answer;
    {
        RetainScope<CFrame> keepFrame(frame);
        RetainScope<WinDragContainer> keepDrag(drag);
        answer = call(*frame, *drag, point);
    }
    if (editor) editor->leaveEditorCall();
    return answer;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragEnter(IDataObject* data, DWORD /*keys*/, POINTL point,
                                                 DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (!data || !frame_) return S_OK;
    endDrag(); // one that never left
    currentDrag = new WinDragContainer(data);
    currentDragTarget = this;
    const bool takes = route(point, [](CFrame& frame, WinDragContainer& drag, const ViewPoint& at) {
        frame.dragEntered(&drag, at);
        return frame.takesDrop(&drag, at);
    });
    if (takes) *effect = chosenEffect(allowed);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragOver(DWORD /*keys*/, POINTL point, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (currentDragTarget != this || !frame_) return S_OK;
    const bool takes = route(point, [](CFrame& frame, WinDragContainer& drag, const ViewPoint& at) {
        frame.dragHovered(&drag, at);
        return frame.takesDrop(&drag, at);
    });
    if (takes) *effect = chosenEffect(allowed);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragLeave() {
    if (currentDragTarget != this) return S_OK;
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    route({cursor.x, cursor.y}, [](CFrame& frame, WinDragContainer& drag, const ViewPoint& at) {
        frame.dragExited(&drag, at);
        return true;
    });
    endDrag();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::Drop(IDataObject* data, DWORD /*keys*/, POINTL point,
                                            DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    if (!frame_) return S_OK;
    if (currentDragTarget != this) {
        // A drop without an enter first: its data is the drag.
        if (!data) return S_OK;
        endDrag();
        currentDrag = new WinDragContainer(data);
        currentDragTarget = this;
    }
    const bool taken = route(point, [](CFrame& frame, WinDragContainer& drag, const ViewPoint& at) {
        return frame.dropData(&drag, at);
    });
    endDrag();
    if (taken) *effect = chosenEffect(allowed);
    return S_OK;
}

int32_t liveDropTargets() {
    return dropTargets.load();
}

CDragContainer* dragInProgress() {
    return currentDrag;
}

} // namespace win32
} // namespace QXAGUI
