// The Win32 back-end's images: ResourceStream over module resources, the resource lookup
// (a "DATA" resource first, then a bitmap resource) and blank images. Every image handed to
// the toolkit is 32-bit ARGB, so offscreen contexts can draw into any of them.
#include "win32_platform.h"

#include "cbitmap.h"

#include <cstring>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace QXAGUI {

PlatformImage::~PlatformImage() {
    if (bitmap_) GdipDisposeImage(bitmap_);
}

namespace win32 {

// --- ResourceStream ----------------------------------------------------------------------

ResourceStream::ResourceStream(const void* data, uint32_t size)
    : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

ResourceStream::ResourceStream(std::vector<uint8_t> bytes)
    : ownBytes_(std::move(bytes)), data_(ownBytes_.data()),
      size_(static_cast<uint32_t>(ownBytes_.size())) {}

HRESULT STDMETHODCALLTYPE ResourceStream::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
        IsEqualIID(iid, IID_IStream)) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// A decoder may hold the stream on a thread of its own: the count is atomic.
ULONG STDMETHODCALLTYPE ResourceStream::AddRef() {
    return ++references_;
}

ULONG STDMETHODCALLTYPE ResourceStream::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Read(void* buffer, ULONG count, ULONG* read) {
    if (!buffer && count > 0) return STG_E_INVALIDPOINTER;
    // A short read is how a stream tells a buffered decoder that the end has come: it copies
    // what remains and answers S_FALSE, rather than leaving the decoder's last block empty.
    const uint32_t remaining = size_ - position_;
    const uint32_t copied = count < remaining ? count : remaining;
    if (copied > 0) std::memcpy(buffer, data_ + position_, copied);
    position_ += copied;
    if (read) *read = copied;
    return copied < count ? S_FALSE : S_OK;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Write(const void*, ULONG, ULONG* written) {
    if (written) *written = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Seek(LARGE_INTEGER move, DWORD origin,
                                               ULARGE_INTEGER* newPosition) {
    int64_t base = 0;
    switch (origin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = position_;
        break;
    case STREAM_SEEK_END:
        base = size_;
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    // The resource is all there is: a position before its start or past its end is refused
    // and the position stays where it was.
    const int64_t target = base + move.QuadPart;
    HRESULT result = STG_E_INVALIDFUNCTION;
    if (target >= 0 && target <= static_cast<int64_t>(size_)) {
        position_ = static_cast<uint32_t>(target);
        result = S_OK;
    }
    if (newPosition) newPosition->QuadPart = position_;
    return result;
}

HRESULT STDMETHODCALLTYPE ResourceStream::SetSize(ULARGE_INTEGER) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ResourceStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                                 ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Commit(DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Revert() {
    position_ = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ResourceStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ResourceStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Stat(STATSTG* record, DWORD) {
    if (!record) return STG_E_INVALIDPOINTER;
    std::memset(record, 0, sizeof(*record));
    record->type = STGTY_STREAM;
    record->cbSize.QuadPart = size_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ResourceStream::Clone(IStream** copy) {
    if (copy) *copy = nullptr;
    return E_NOTIMPL;
}

// --- lookup ------------------------------------------------------------------------------

namespace {

// The bytes of the module's resource of that type; null when there is none.
const uint8_t* findResource(const ResourceRef& reference, const wchar_t* type, uint32_t& size) {
    size = 0;
    const HMODULE module = toolkitModule();
    std::wstring name;
    const wchar_t* id = nullptr;
    if (reference.kind == ResourceRef::ByNumber) {
        id = MAKEINTRESOURCEW(reference.number);
    } else if (reference.kind == ResourceRef::ByName && reference.name && *reference.name) {
        name = widen(reference.name);
        id = name.c_str();
    }
    if (!id) return nullptr;
    // Names compare without regard to case (the resource compiler stores them in capitals).
    HRSRC found = FindResourceW(module, id, type);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return nullptr;
    size = SizeofResource(module, found);
    return static_cast<const uint8_t*>(bytes);
}

GpBitmap* decode(IStream* stream, bool colourManaged) {
    GpBitmap* bitmap = nullptr;
    const GpStatus status = colourManaged ? GdipCreateBitmapFromStreamICM(stream, &bitmap)
                                          : GdipCreateBitmapFromStream(stream, &bitmap);
    return status == Ok ? bitmap : nullptr;
}

// A bitmap resource is a BMP file without its 14-byte file header. Putting the header back
// lets the BMP decoder read it, palette and row padding included, for every bit depth.
GpBitmap* decodeBitmapResource(const ResourceRef& reference) {
    uint32_t size = 0;
    const uint8_t* dib = findResource(reference, MAKEINTRESOURCEW(2) /* RT_BITMAP */, size);
    if (!dib || size < sizeof(BITMAPCOREHEADER)) return nullptr;

    uint32_t headerSize = 0;
    std::memcpy(&headerSize, dib, sizeof(headerSize));
    uint32_t colourTable = 0;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        std::memcpy(&core, dib, sizeof(core));
        if (core.bcBitCount <= 8) colourTable = (1u << core.bcBitCount) * 3;
    } else if (headerSize >= sizeof(BITMAPINFOHEADER) && size >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER info;
        std::memcpy(&info, dib, sizeof(info));
        uint32_t colours = info.biClrUsed;
        if (colours == 0 && info.biBitCount <= 8) colours = 1u << info.biBitCount;
        colourTable = colours * 4;
        // Channel masks follow a plain information header.
        if (headerSize == sizeof(BITMAPINFOHEADER) && info.biCompression == BI_BITFIELDS)
            colourTable += 12;
    } else {
        return nullptr;
    }

    BITMAPFILEHEADER file{};
    file.bfType = 0x4d42; // "BM"
    file.bfSize = static_cast<DWORD>(sizeof(file) + size);
    file.bfOffBits = static_cast<DWORD>(sizeof(file) + headerSize + colourTable);
    std::vector<uint8_t> bytes(sizeof(file) + size);
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::memcpy(bytes.data() + sizeof(file), dib, size);

    auto* stream = new ResourceStream(std::move(bytes));
    GpBitmap* bitmap = decode(stream, false);
    stream->Release(); // the bitmap holds its own reference for as long as it needs the bytes
    return bitmap;
}

// The toolkit draws into images and blits them with their own alpha: 32-bit ARGB throughout.
GpBitmap* asArgb(GpBitmap* bitmap) {
    PixelFormat format = 0;
    GdipGetImagePixelFormat(bitmap, &format);
    if (format == PixelFormat32bppARGB) return bitmap;
    UINT width = 0, height = 0;
    GdipGetImageWidth(bitmap, &width);
    GdipGetImageHeight(bitmap, &height);
    GpBitmap* converted = nullptr;
    if (GdipCloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height),
                             PixelFormat32bppARGB, bitmap, &converted) != Ok)
        return bitmap; // still drawable, only not a drawing target
    GdipDisposeImage(bitmap);
    return converted;
}

// A 32-bit ARGB bitmap's pixels as blue, green, red, alpha rows; when every alpha is 255,
// blue, green, red rows instead and true.
bool readPixels(GpBitmap* bitmap, std::vector<uint8_t>& rows) {
    UINT width = 0, height = 0;
    GdipGetImageWidth(bitmap, &width);
    GdipGetImageHeight(bitmap, &height);
    const GpRect whole{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    BitmapData data{};
    if (GdipBitmapLockBits(bitmap, &whole, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
        return false;
    const size_t rowBytes = static_cast<size_t>(data.Width) * 4;
    rows.resize(rowBytes * data.Height);
    bool opaque = true;
    for (UINT y = 0; y < data.Height; ++y) {
        const auto* row =
            static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        std::memcpy(rows.data() + y * rowBytes, row, rowBytes);
        for (UINT x = 0; x < data.Width && opaque; ++x)
            opaque = row[x * 4 + 3] == 255;
    }
    GdipBitmapUnlockBits(bitmap, &data);
    if (opaque) {
        // In place: each three-byte pixel lands at or before where its four bytes were read.
        const size_t pixels = static_cast<size_t>(data.Width) * data.Height;
        for (size_t i = 0; i < pixels; ++i) {
            rows[i * 3] = rows[i * 4];
            rows[i * 3 + 1] = rows[i * 4 + 1];
            rows[i * 3 + 2] = rows[i * 4 + 2];
        }
        rows.resize(pixels * 3);
    }
    return opaque;
}

} // namespace

ResourceStream* openResourceStream(const ResourceRef& reference, const wchar_t* type) {
    uint32_t size = 0;
    const uint8_t* bytes = findResource(reference, type, size);
    return bytes ? new ResourceStream(bytes, size) : nullptr;
}

} // namespace win32

// --- the seam ----------------------------------------------------------------------------

namespace platform {

PlatformImage* loadResourceImage(const ResourceRef& reference) {
    GpBitmap* bitmap = nullptr;
    if (win32::ResourceStream* stream = win32::openResourceStream(reference, L"DATA")) {
        bitmap = win32::decode(stream, true);
        stream->Release();
    }
    if (!bitmap) bitmap = win32::decodeBitmapResource(reference);
    if (!bitmap) return nullptr;
    auto* image = new PlatformImage(win32::asArgb(bitmap));
    std::vector<uint8_t> rows;
    const bool opaque = win32::readPixels(image->bitmap(), rows);
    image->setOpaque(opaque);
    image->keepRows(std::move(rows), opaque ? 3 : 4);
    return image;
}

PlatformImage* createBlankImage(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok)
        return nullptr;
    // Fully transparent black, whatever the allocator left there.
    GpGraphics* graphics = nullptr;
    if (GdipGetImageGraphicsContext(bitmap, &graphics) == Ok) {
        GdipGraphicsClear(graphics, 0);
        GdipDeleteGraphics(graphics);
    }
    return new PlatformImage(bitmap);
}

void destroyImage(PlatformImage* image) {
    delete image;
}

int32_t imageWidth(const PlatformImage* image) {
    UINT width = 0;
    if (image && image->bitmap()) GdipGetImageWidth(image->bitmap(), &width);
    return static_cast<int32_t>(width);
}

bool imageIsOpaque(const PlatformImage* image) {
    return image && image->opaque();
}

int32_t imageHeight(const PlatformImage* image) {
    UINT height = 0;
    if (image && image->bitmap()) GdipGetImageHeight(image->bitmap(), &height);
    return static_cast<int32_t>(height);
}

} // namespace platform
} // namespace QXAGUI
