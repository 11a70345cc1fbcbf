// OLE drag and drop (Wine): the drag container over a data object offering text, three files
// or a shortcut, with every storage medium released; and the frame window's registered drop
// target driven as OLE drives it, with the effects it answers.
#include "win32_test_support.h"

#include "cframe.h"
#include "ctextedit.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

namespace QXAGUI::testing {
namespace {

// Hands out each storage medium with a release object, and counts the ones not given back.
class ReleaseCounter final : public IUnknown {
public:
    explicit ReleaseCounter(int& outstanding) : outstanding_(outstanding) { ++outstanding_; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            --outstanding_;
            delete this;
        }
        return left;
    }

private:
    int& outstanding_;
    ULONG references_ = 1;
};

// A data object offering UTF-16 text, or files (a DROPFILES block built in memory), or both.
class TestDataObject final : public IDataObject {
public:
    // Text as given; withZero: the block ends with a terminating zero.
    void offerText(const std::wstring& text, bool withZero = true) {
        const size_t bytes = (text.size() + (withZero ? 1 : 0)) * sizeof(wchar_t);
        text_ = makeBlock(bytes, [&](void* data) { std::memcpy(data, text.c_str(), bytes); });
    }
    void offerFiles(const std::vector<std::wstring>& paths) {
        size_t characters = 1; // the list's closing zero
        for (const std::wstring& path : paths)
            characters += path.size() + 1;
        files_ = makeBlock(sizeof(DROPFILES) + characters * sizeof(wchar_t), [&](void* data) {
            auto* header = static_cast<DROPFILES*>(data);
            header->pFiles = sizeof(DROPFILES);
            header->fWide = TRUE;
            auto* list = reinterpret_cast<wchar_t*>(static_cast<char*>(data) + sizeof(DROPFILES));
            for (const std::wstring& path : paths) {
                std::memcpy(list, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
                list += path.size() + 1;
            }
            *list = L'\0';
        });
    }
    ~TestDataObject() {
        if (text_) GlobalFree(text_);
        if (files_) GlobalFree(files_);
    }

    int outstandingMedia = 0;
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    // Lives on the test's stack: the count only shows whether references come back.
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        HGLOBAL block = blockFor(format);
        if (!block) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block; // ours: the release object stands in for freeing it
        medium->pUnkForRelease = new ReleaseCounter(outstandingMedia);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return blockFor(format) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    template <typename Fill>
    static HGLOBAL makeBlock(size_t bytes, Fill fill) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
        fill(GlobalLock(block));
        GlobalUnlock(block);
        return block;
    }
    HGLOBAL blockFor(const FORMATETC* format) const {
        if (!format || !(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT)
            return nullptr;
        if (format->cfFormat == CF_UNICODETEXT) return text_;
        if (format->cfFormat == CF_HDROP) return files_;
        return nullptr;
    }

    HGLOBAL text_ = nullptr;
    HGLOBAL files_ = nullptr;
    ULONG references_ = 1;
};

struct Item {
    std::string text;
    int32_t type;
};

std::vector<Item> allItems(CDragContainer& drag) {
    std::vector<Item> items;
    int32_t size = 0;
    int32_t type = 0;
    for (const char* item = drag.firstItem(size, type); item; item = drag.nextItem(size, type)) {
        EXPECT_EQ(size, static_cast<int32_t>(std::strlen(item)));
        items.push_back({item, type});
    }
    EXPECT_EQ(type, DragItemNone);
    return items;
}

std::wstring longPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    GetLongPathNameW(path.c_str(), full, MAX_PATH);
    return full;
}

// --- the drag container ------------------------------------------------------------------------

TEST(WinDragContainer, TextGivesExactlyOneItemOfTypeTwo) {
    TestDataObject data;
    data.offerText(L"0.5 s \x00e9");
    {
        auto* drag = new win32::WinDragContainer(&data);
        EXPECT_EQ(drag->itemCount(), 1);
        EXPECT_EQ(drag->itemType(0), DragItemText);
        const std::vector<Item> items = allItems(*drag);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].text, "0.5 s \xC3\xA9");
        EXPECT_EQ(items[0].type, DragTextItem);
        drag->release();
    }
    EXPECT_EQ(data.outstandingMedia, 0);
    EXPECT_EQ(data.references(), 1u);
}

TEST(WinDragContainer, TextWithoutItsZeroEndsWithItsBlock) {
    TestDataObject data;
    data.offerText(L"abc", false);
    auto* drag = new win32::WinDragContainer(&data);
    const std::vector<Item> items = allItems(*drag);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "abc");
    drag->release();
    EXPECT_EQ(data.outstandingMedia, 0);
}

TEST(WinDragContainer, ThreeFilesGiveThreeFileItemsThenNone) {
    TestDataObject data;
    data.offerFiles({L"C:\\audio\\a.wav", L"C:\\audio\\b b.wav", L"C:\\audio\\\x00fc.wav"});
    auto* drag = new win32::WinDragContainer(&data);
    EXPECT_EQ(drag->itemCount(), 3);
    EXPECT_EQ(drag->itemType(2), DragItemFile);
    EXPECT_EQ(drag->itemType(3), DragItemNone); // past the last file
    const std::vector<Item> items = allItems(*drag);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "C:\\audio\\a.wav");
    EXPECT_EQ(items[1].text, "C:\\audio\\b b.wav");
    EXPECT_EQ(items[2].text, "C:\\audio\\\xC3\xBC.wav");
    for (const Item& item : items)
        EXPECT_EQ(item.type, DragItemFile);
    int32_t size = 0, type = 0;
    EXPECT_EQ(drag->nextItem(size, type), nullptr); // still none
    drag->release();
    EXPECT_EQ(data.outstandingMedia, 0);
    EXPECT_EQ(data.references(), 1u);
}

TEST(WinDragContainer, TextIsPreferredToFiles) {
    TestDataObject data;
    data.offerFiles({L"C:\\a.wav"});
    data.offerText(L"words");
    auto* drag = new win32::WinDragContainer(&data);
    const std::vector<Item> items = allItems(*drag);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].type, DragTextItem);
    drag->release();
}

TEST(WinDragContainer, WithoutADataObjectEveryAnswerIsAnError) {
    auto* drag = new win32::WinDragContainer(nullptr);
    int32_t size = 1, type = 0;
    EXPECT_EQ(drag->firstItem(size, type), nullptr);
    EXPECT_EQ(type, DragItemError);
    EXPECT_EQ(drag->itemType(0), DragItemError);
    EXPECT_EQ(drag->itemCount(), 0);
    drag->release();
}

// A file and a shortcut to it in a folder of the temp directory, removed afterwards.
class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"qxa-shortcut-test";
        CreateDirectoryW(folder_.c_str(), nullptr);
        target_ = folder_ + L"\\delay settings.txt";
        shortcut_ = folder_ + L"\\settings.LNK"; // the extension in any case
        HANDLE file = CreateFileW(target_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);

        IShellLinkW* link = nullptr;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkW, reinterpret_cast<void**>(&link))));
        link->SetPath(target_.c_str());
        IPersistFile* persist = nullptr;
        ASSERT_TRUE(
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))));
        EXPECT_TRUE(SUCCEEDED(persist->Save(shortcut_.c_str(), TRUE)));
        persist->Release();
        link->Release();
    }
    void TearDown() override {
        DeleteFileW(shortcut_.c_str());
        DeleteFileW(target_.c_str());
        RemoveDirectoryW(folder_.c_str());
        CoUninitialize();
    }
    std::wstring folder_, target_, shortcut_;
};

TEST_F(ShortcutTest, ADraggedShortcutIsResolvedOnlyWhenAViewAsksForTheFile) {
    TestDataObject data;
    data.offerFiles({shortcut_});
    auto* drag = new win32::WinDragContainer(&data);
    const std::vector<Item> items = allItems(*drag);
    // The items are the paths as dropped: nothing is resolved before a view takes files.
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].type, DragItemFile);
    EXPECT_EQ(lstrcmpiW(win32::widen(items[0].text.c_str()).c_str(), shortcut_.c_str()), 0)
        << items[0].text;
    // A view that takes files asks for the target. The short form of the path is asked for:
    // compare the long forms.
    const char* target = drag->resolvedFile(0);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(lstrcmpiW(longPath(win32::widen(target)).c_str(), longPath(target_).c_str()), 0)
        << target;
    EXPECT_EQ(drag->resolvedFile(1), nullptr);
    drag->release();
    EXPECT_EQ(data.outstandingMedia, 0);
}

TEST_F(ShortcutTest, AShortcutThatCannotBeReadKeepsItsOwnName) {
    const std::wstring broken = folder_ + L"\\broken.lnk";
    HANDLE file = CreateFileW(broken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, "not a shortcut", 14, &written, nullptr);
    CloseHandle(file);
    std::wstring path = broken;
    EXPECT_FALSE(win32::resolveShortcut(path));
    EXPECT_EQ(path, broken);
    DeleteFileW(broken.c_str());
}

// --- the frame window's drop target ----------------------------------------------------------

class DropListener : public CControlListener {
public:
    void controlChanged(CControl* control) override {
        changed.push_back(static_cast<CTextEdit*>(control)->text());
    }
    std::vector<std::string> changed;
};

// A frame in a host window with a text edit at (10, 10, 60, 24); nothing else takes drops.
class DropTargetTest : public HostedFrameTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFrame(L"QxaDropHost", 200, 100));
        edit_ = new CTextEdit({10, 10, 60, 24}, &listener_, 2, "1.000");
        frame_->appendChild(edit_);
        target_ = win32::registeredDropTarget(window_);
        ASSERT_NE(target_, nullptr);
        data_.offerText(L"0.5");
    }
    void TearDown() override {
        HostedFrameTest::TearDown();
        EXPECT_EQ(data_.outstandingMedia, 0);
        EXPECT_EQ(data_.references(), 1u);
        EXPECT_EQ(win32::dragInProgress(), nullptr);
    }
    // The screen point of a frame point.
    POINTL screen(int x, int y) const {
        const ViewPoint origin = platform::windowScreenOrigin(window_);
        return {origin.x + x, origin.y + y};
    }
    DWORD enter(DWORD allowed, int x, int y) {
        DWORD effect = allowed;
        EXPECT_EQ(target_->DragEnter(&data_, MK_LBUTTON, screen(x, y), &effect), S_OK);
        return effect;
    }
    DWORD over(DWORD allowed, int x, int y) {
        DWORD effect = allowed;
        EXPECT_EQ(target_->DragOver(MK_LBUTTON, screen(x, y), &effect), S_OK);
        return effect;
    }
    DWORD drop(DWORD allowed, int x, int y) {
        DWORD effect = allowed;
        EXPECT_EQ(target_->Drop(&data_, 0, screen(x, y), &effect), S_OK);
        return effect;
    }

    DropListener listener_;
    TestDataObject data_;
    CTextEdit* edit_ = nullptr;
    win32::CDropTarget* target_ = nullptr;
};

TEST_F(DropTargetTest, OverATextEditEnterAndOverAnswerCopyWhenAllowedElseMoveElseLink) {
    EXPECT_EQ(enter(DROPEFFECT_COPY | DROPEFFECT_MOVE, 30, 15), DWORD(DROPEFFECT_COPY));
    EXPECT_NE(win32::dragInProgress(), nullptr);
    EXPECT_EQ(over(DROPEFFECT_MOVE, 30, 15), DWORD(DROPEFFECT_MOVE));
    EXPECT_EQ(over(DROPEFFECT_MOVE | DROPEFFECT_LINK, 30, 15), DWORD(DROPEFFECT_MOVE));
    EXPECT_EQ(over(DROPEFFECT_LINK, 30, 15), DWORD(DROPEFFECT_LINK));
    EXPECT_EQ(over(DROPEFFECT_NONE, 30, 15), DWORD(DROPEFFECT_NONE));
    // Where no view takes the drag the cursor says so.
    EXPECT_EQ(over(DROPEFFECT_COPY, 150, 50), DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(over(DROPEFFECT_COPY, 30, 15), DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(target_->DragLeave(), S_OK);
    EXPECT_EQ(win32::dragInProgress(), nullptr);
    EXPECT_EQ(enter(DROPEFFECT_COPY, 150, 50), DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(target_->DragLeave(), S_OK);
}

TEST_F(DropTargetTest, ADropNoViewTakesAnswersNone) {
    EXPECT_EQ(enter(DROPEFFECT_MOVE, 150, 50), DWORD(DROPEFFECT_NONE));
    // The source offered move: answering move would make it delete what nobody took.
    EXPECT_EQ(drop(DROPEFFECT_MOVE, 150, 50), DWORD(DROPEFFECT_NONE));
    EXPECT_TRUE(listener_.changed.empty());
}

TEST_F(DropTargetTest, TextDroppedOnATextEditIsTakenWithTheEffectChosen) {
    enter(DROPEFFECT_MOVE, 30, 15);
    EXPECT_EQ(drop(DROPEFFECT_MOVE, 30, 15), DWORD(DROPEFFECT_MOVE));
    EXPECT_EQ(listener_.changed, (std::vector<std::string>{"0.5"}));

    edit_->assignText("2");
    enter(DROPEFFECT_COPY | DROPEFFECT_MOVE, 30, 15);
    EXPECT_EQ(drop(DROPEFFECT_COPY | DROPEFFECT_MOVE, 30, 15), DWORD(DROPEFFECT_COPY));
    EXPECT_STREQ(edit_->text(), "0.5");
}

TEST_F(DropTargetTest, WithoutADataObjectTheEffectIsNone) {
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target_->DragEnter(nullptr, MK_LBUTTON, screen(30, 15), &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(win32::dragInProgress(), nullptr);
}

TEST_F(DropTargetTest, ADragLeftOpenEndsWithTheFrame) {
    enter(DROPEFFECT_COPY, 30, 15);
    ASSERT_NE(win32::dragInProgress(), nullptr);
    frame_->release();
    frame_ = nullptr;
    EXPECT_EQ(win32::dragInProgress(), nullptr);
    EXPECT_EQ(data_.references(), 1u);
}

} // namespace
} // namespace QXAGUI::testing
