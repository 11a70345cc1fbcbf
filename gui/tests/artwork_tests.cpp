// The committed artwork has the sizes and formats the editors and their resource scripts rely
// on: a Windows BMP of the right depth for every bitmap resource, an RGBA PNG for every dot.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const std::string& relative) {
    std::ifstream file(std::string(QXA_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

uint32_t little(const std::vector<uint8_t>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes.at(at + static_cast<size_t>(i));
    return value;
}

uint32_t big(const std::vector<uint8_t>& bytes, size_t at) {
    return (uint32_t{bytes.at(at)} << 24) | (uint32_t{bytes.at(at + 1)} << 16) |
           (uint32_t{bytes.at(at + 2)} << 8) | bytes.at(at + 3);
}

struct BitmapFacts {
    const char* path;
    int32_t width;
    int32_t height;
    int bitsPerPixel;
};

TEST(Artwork, EveryBitmapIsAnUncompressedBottomUpBmpOfItsSizeAndDepth) {
    const BitmapFacts bitmaps[] = {
        {"synth/resources/background.bmp", 500, 170, 24},
        {"synth/resources/buttonface.bmp", 16, 58, 8},
        {"delay/resources/background.bmp", 463, 334, 8},
        {"delay/resources/syncbutton.bmp", 40, 30, 8},
        {"delay/resources/sliderhandle.bmp", 27, 10, 8},
    };
    for (const BitmapFacts& facts : bitmaps) {
        SCOPED_TRACE(facts.path);
        const std::vector<uint8_t> bytes = readFile(facts.path);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(little(bytes, 2, 4), bytes.size());
        EXPECT_EQ(static_cast<int32_t>(little(bytes, 18, 4)), facts.width);
        EXPECT_EQ(static_cast<int32_t>(little(bytes, 22, 4)), facts.height); // positive: bottom-up
        EXPECT_EQ(static_cast<int>(little(bytes, 28, 2)), facts.bitsPerPixel);
        EXPECT_EQ(little(bytes, 30, 4), 0u); // no compression
        const uint32_t rowBytes = ((facts.width * facts.bitsPerPixel + 31) / 32) * 4;
        EXPECT_EQ(bytes.size() - little(bytes, 10, 4), rowBytes * facts.height);
    }
}

TEST(Artwork, EveryKnobDotIsAnRgbaPngOfItsSize) {
    const BitmapFacts dots[] = {{"synth/resources/bmp00129.png", 7, 7, 32},
                                {"delay/resources/bmp01002.png", 9, 9, 32}};
    for (const BitmapFacts& facts : dots) {
        SCOPED_TRACE(facts.path);
        const std::vector<uint8_t> bytes = readFile(facts.path);
        ASSERT_GE(bytes.size(), 33u);
        EXPECT_EQ(big(bytes, 0), 0x89504E47u);
        EXPECT_EQ(big(bytes, 12), 0x49484452u); // IHDR
        EXPECT_EQ(static_cast<int32_t>(big(bytes, 16)), facts.width);
        EXPECT_EQ(static_cast<int32_t>(big(bytes, 20)), facts.height);
        EXPECT_EQ(bytes[24], 8); // bits per channel
        EXPECT_EQ(bytes[25], 6); // colour type: RGB with alpha
    }
}

} // namespace
