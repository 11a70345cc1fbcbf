// The Win32 back-end's resources: ResourceStream's reads and seeks, and the module resource
// lookup (a "DATA" resource first, then a bitmap) with the images decoded right, in the test
// executable's own resources (test_resources.rc).
#include "win32_test_support.h"

#include "cbitmap.h"

#include <cstring>
#include <thread>

namespace QXAGUI::testing {
namespace {

using win32::ResourceStream;

struct StreamHolder {
    ResourceStream* stream;
    explicit StreamHolder(const char* text)
        : stream(new ResourceStream(std::vector<uint8_t>(text, text + std::strlen(text)))) {}
    ~StreamHolder() { stream->Release(); }
    ResourceStream* operator->() const { return stream; }
};

HRESULT seek(ResourceStream* stream, int64_t move, DWORD origin, uint64_t& position) {
    LARGE_INTEGER distance;
    distance.QuadPart = move;
    ULARGE_INTEGER now;
    now.QuadPart = 0xdeadbeef;
    const HRESULT result = stream->Seek(distance, origin, &now);
    position = now.QuadPart;
    return result;
}

TEST(ResourceStreamTest, ReadPastTheEndCopiesWhatRemainsAndAnswersFalse) {
    StreamHolder stream("0123456789");
    char buffer[16] = {};
    ULONG read = 99;
    EXPECT_EQ(stream->Read(buffer, 4, &read), S_OK);
    EXPECT_EQ(read, 4u);

    // A decoder's last buffered read asks for more than remains: it gets the rest.
    std::memset(buffer, 0, sizeof(buffer));
    EXPECT_EQ(stream->Read(buffer, 10, &read), S_FALSE);
    EXPECT_EQ(read, 6u);
    EXPECT_STREQ(buffer, "456789");

    EXPECT_EQ(stream->Read(buffer, 1, &read), S_FALSE);
    EXPECT_EQ(read, 0u);
}

TEST(ResourceStreamTest, SeeksFromEachOriginStayInsideTheResource) {
    StreamHolder stream("0123456789");
    uint64_t position = 0;
    EXPECT_EQ(seek(stream.stream, -3, STREAM_SEEK_END, position), S_OK);
    EXPECT_EQ(position, 7u);
    char buffer[4] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, 3, &read), S_OK);
    EXPECT_STREQ(buffer, "789");

    EXPECT_EQ(seek(stream.stream, -5, STREAM_SEEK_CUR, position), S_OK);
    EXPECT_EQ(position, 5u);
    // The end itself is a position; past it and before the start are refused and the
    // position stays.
    EXPECT_EQ(seek(stream.stream, 0, STREAM_SEEK_END, position), S_OK);
    EXPECT_EQ(position, 10u);
    EXPECT_EQ(seek(stream.stream, 11, STREAM_SEEK_SET, position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(position, 10u);
    EXPECT_EQ(seek(stream.stream, -11, STREAM_SEEK_CUR, position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(position, 10u);
    EXPECT_EQ(seek(stream.stream, 1, STREAM_SEEK_END, position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(seek(stream.stream, 0, 7, position), STG_E_INVALIDFUNCTION);

    EXPECT_EQ(stream->Revert(), S_OK);
    EXPECT_EQ(seek(stream.stream, 0, STREAM_SEEK_CUR, position), S_OK);
    EXPECT_EQ(position, 0u);
}

TEST(ResourceStreamTest, IsAReadOnlyStreamThatReportsItsSize) {
    StreamHolder stream("abc");
    IStream* asStream = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&asStream)), S_OK);
    asStream->Release();
    ISequentialStream* sequential = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&sequential)),
              S_OK);
    sequential->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(stream->QueryInterface(IID_IDropTarget, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    STATSTG record;
    std::memset(&record, 0xff, sizeof(record));
    EXPECT_EQ(stream->Stat(&record, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(record.cbSize.QuadPart, 3u);
    EXPECT_EQ(record.pwcsName, nullptr);

    ULONG written = 7;
    EXPECT_EQ(stream->Write("x", 1, &written), E_NOTIMPL);
    EXPECT_EQ(written, 0u);
    IStream* copy = nullptr;
    EXPECT_EQ(stream->Clone(&copy), E_NOTIMPL);
}

TEST(ResourceStreamTest, ReferencesCountedFromTwoThreadsAtOnce) {
    // A decoder may release the stream on a thread of its own.
    auto* stream = new ResourceStream(std::vector<uint8_t>(4, 0));
    auto churn = [stream] {
        for (int i = 0; i < 200000; ++i) {
            stream->AddRef();
            stream->Release();
        }
    };
    std::thread first(churn), second(churn);
    first.join();
    second.join();
    EXPECT_EQ(stream->AddRef(), 2u);
    EXPECT_EQ(stream->Release(), 1u);
    EXPECT_EQ(stream->Release(), 0u);
}

// --- the lookup --------------------------------------------------------------------------

class ResourceLookupTest : public GraphicsTest {
protected:
    PlatformImage* load(const ResourceRef& reference) {
        PlatformImage* image = platform::loadResourceImage(reference);
        if (image) images_.push_back(image);
        return image;
    }
    void TearDown() override {
        for (PlatformImage* image : images_)
            platform::destroyImage(image);
        GraphicsTest::TearDown();
    }
    static Gdiplus::PixelFormat formatOf(PlatformImage* image) {
        Gdiplus::PixelFormat format = 0;
        Gdiplus::DllExports::GdipGetImagePixelFormat(image->bitmap(), &format);
        return format;
    }

private:
    std::vector<PlatformImage*> images_;
};

TEST_F(ResourceLookupTest, PngByNameKeepsItsAlphaAndRowOrder) {
    PlatformImage* dot = load(ResourceRef::byName("dot.png"));
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(platform::imageWidth(dot), 4);
    EXPECT_EQ(platform::imageHeight(dot), 4);
    EXPECT_TRUE(sameColour(pixelAt(dot, 0, 0), {255, 255, 0, 0}));
    EXPECT_TRUE(sameColour(pixelAt(dot, 3, 1), {128, 0, 0, 255}));
    EXPECT_EQ(pixelAt(dot, 2, 2).a, 0);
    EXPECT_TRUE(sameColour(pixelAt(dot, 1, 3), {255, 0, 255, 0}));
}

TEST_F(ResourceLookupTest, NamesAreFoundWithoutRegardToCase) {
    EXPECT_NE(load(ResourceRef::byName("DOT.PNG")), nullptr);
    EXPECT_NE(load(ResourceRef::byName("namedBmp")), nullptr);
}

TEST_F(ResourceLookupTest, DataResourceWinsOverTheBitmapOfTheSameNumber) {
    PlatformImage* both = load(ResourceRef::byNumber(300));
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(platform::imageWidth(both), 5); // the PNG; the bitmap is 6 x 6
    EXPECT_TRUE(sameColour(pixelAt(both, 4, 4), {255, 0, 128, 0}));
}

TEST_F(ResourceLookupTest, PaletteBitmapDecodesEveryEntryInRowOrder) {
    PlatformImage* palette = load(ResourceRef::byNumber(200));
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(platform::imageWidth(palette), 4);
    ASSERT_EQ(platform::imageHeight(palette), 2);
    const Argb expected[8] = {{255, 255, 0, 0},     {255, 0, 255, 0},  {255, 0, 0, 255},
                              {255, 255, 255, 255}, {255, 0, 0, 0},    {255, 255, 255, 0},
                              {255, 255, 0, 255},   {255, 0, 255, 255}};
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(sameColour(pixelAt(palette, i % 4, i / 4), expected[i])) << "pixel " << i;
}

TEST_F(ResourceLookupTest, TwentyFourBitBitmapWithPaddedRowsDecodesExactly) {
    for (const ResourceRef& reference :
         {ResourceRef::byNumber(201), ResourceRef::byName("NAMEDBMP")}) {
        PlatformImage* rgb = load(reference);
        ASSERT_NE(rgb, nullptr);
        ASSERT_EQ(platform::imageWidth(rgb), 3);
        ASSERT_EQ(platform::imageHeight(rgb), 2);
        EXPECT_TRUE(sameColour(pixelAt(rgb, 0, 0), {255, 10, 20, 30}));
        EXPECT_TRUE(sameColour(pixelAt(rgb, 2, 0), {255, 70, 80, 90}));
        EXPECT_TRUE(sameColour(pixelAt(rgb, 0, 1), {255, 100, 110, 120}));
        EXPECT_TRUE(sameColour(pixelAt(rgb, 2, 1), {255, 160, 170, 180}));
    }
}

TEST_F(ResourceLookupTest, EveryImageIsThirtyTwoBitArgb) {
    // Offscreen contexts draw into images; GDI+ cannot draw into a palette image.
    for (const ResourceRef& reference :
         {ResourceRef::byName("dot.png"), ResourceRef::byNumber(200), ResourceRef::byNumber(201)}) {
        PlatformImage* image = load(reference);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(formatOf(image), PixelFormat32bppARGB);
    }
    PlatformImage* blank = platform::createBlankImage(3, 2);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(formatOf(blank), PixelFormat32bppARGB);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(sameColour(pixelAt(blank, i % 3, i / 3), {0, 0, 0, 0}));
    platform::destroyImage(blank);
}

TEST_F(ResourceLookupTest, MissingResourcesGiveNoImage) {
    EXPECT_EQ(load(ResourceRef::byNumber(999)), nullptr);
    EXPECT_EQ(load(ResourceRef::byName("missing.png")), nullptr);
    EXPECT_EQ(load(ResourceRef::byName("")), nullptr);
    EXPECT_EQ(load(ResourceRef{}), nullptr);
    EXPECT_EQ(platform::createBlankImage(0, 5), nullptr);
    EXPECT_EQ(platform::imageWidth(nullptr), 0);
}

} // namespace
} // namespace QXAGUI::testing
