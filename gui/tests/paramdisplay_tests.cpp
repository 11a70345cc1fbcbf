// CParamDisplay: the value text, and what each style draws (from the recorded drawing).
#include "cparamdisplay.h"
#include "gui_test_support.h"

#include <algorithm>
#include <cstring>

namespace QXAGUI::testing {
namespace {

class ParamDisplayTest : public ControlFrameTest {
protected:
    void SetUp() override {
        ControlFrameTest::SetUp();
        display = add(new CParamDisplay(kBounds));
    }

    // The strokeColor and line entries of the log, in order.
    std::vector<std::string> strokes() {
        std::vector<std::string> found;
        for (const std::string& entry : window().drawing.lines)
            if (entry.rfind("strokeColor", 0) == 0 || entry.rfind("line", 0) == 0)
                found.push_back(entry);
        return found;
    }
    // The text of the first text entry.
    std::string firstText() {
        const auto texts = drawn("text '");
        if (texts.empty()) return "(none)";
        const size_t open = texts[0].find('\'');
        return texts[0].substr(open + 1, texts[0].find('\'', open + 1) - open - 1);
    }

    static constexpr ViewRect kBounds{10, 10, 60, 30};
    CParamDisplay* display = nullptr;
};

void writeCutoff(float value, char* text) {
    std::snprintf(text, kDisplayTextSize, "cut %d", static_cast<int>(value * 100.0f));
}
void writeWithData(float, char* text, void* data) {
    std::strcpy(text, static_cast<const char*>(data));
}

TEST_F(ParamDisplayTest, WithoutAFormatterHalfShowsAs0Point50) {
    display->storeValue(0.5f);
    paintAlone(display);
    EXPECT_EQ(firstText(), "0.50");
    display->storeValue(12.345f);
    paintAlone(display);
    EXPECT_EQ(firstText(), "12.35");
}

TEST_F(ParamDisplayTest, TheFormatterWithDataComesFirstThenThePlainOne) {
    display->storeValue(0.25f);
    display->setFormatter(writeCutoff);
    paintAlone(display);
    EXPECT_EQ(firstText(), "cut 25");
    char label[] = "with data";
    display->setFormatterWithData(writeWithData, label);
    paintAlone(display);
    EXPECT_EQ(firstText(), "with data");
}

TEST_F(ParamDisplayTest, TextIsClippedToTheBoundsAndTheClipRestored) {
    paintAlone(display);
    const auto clips = drawn("clip");
    ASSERT_GE(clips.size(), 2u);
    EXPECT_EQ(clips.front(), "clip 10 10 60 30");
    EXPECT_EQ(clips.back(), "clip 0 0 500 170");
    const auto& lines = window().drawing.lines;
    const auto text = std::find_if(lines.begin(), lines.end(),
                                   [](const std::string& l) { return l.rfind("text", 0) == 0; });
    const auto restore = std::find(lines.begin(), lines.end(), "clip 0 0 500 170");
    EXPECT_LT(text, restore);
}

TEST_F(ParamDisplayTest, BevelInDrawsPaperTopLeftAndBorderBottomRight) {
    display->setPaperColor({50, 50, 50, 255});
    display->setBorderColor({200, 200, 200, 255});
    display->setDisplayStyle(DisplayBevelIn);
    paintAlone(display);
    EXPECT_EQ(strokes(),
              (std::vector<std::string>{"strokeColor 50,50,50,255", "line 10 30 10 11",
                                        "line 10 11 59 11", "strokeColor 200,200,200,255",
                                        "line 59 11 59 30", "line 59 30 10 30"}));
}

TEST_F(ParamDisplayTest, BevelOutSwapsTheColours) {
    display->setPaperColor({50, 50, 50, 255});
    display->setBorderColor({200, 200, 200, 255});
    display->setDisplayStyle(DisplayBevelOut);
    paintAlone(display);
    const auto seen = strokes();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[0], "strokeColor 200,200,200,255");
    EXPECT_EQ(seen[3], "strokeColor 50,50,50,255");
}

TEST_F(ParamDisplayTest, AnOpaqueDisplayFillsAndOutlinesUnlessHidingTheFrame) {
    display->setTextSeeThrough(false);
    paintAlone(display);
    EXPECT_EQ(drawn("fillRect"), std::vector<std::string>{"fillRect 10 10 50 20"});
    EXPECT_EQ(drawn("strokeRect"), std::vector<std::string>{"strokeRect 10 10 49 19"});
    display->setDisplayStyle(DisplayHideFrame);
    paintAlone(display);
    EXPECT_EQ(drawn("fillRect").size(), 1u);
    EXPECT_TRUE(drawn("strokeRect").empty());
}

TEST_F(ParamDisplayTest, ASeeThroughDisplayWithoutBitmapDrawsOnlyItsText) {
    paintAlone(display);
    EXPECT_TRUE(drawn("fillRect").empty());
    EXPECT_TRUE(drawn("strokeRect").empty());
    EXPECT_EQ(drawn("text '").size(), 1u);
}

TEST_F(ParamDisplayTest, WithShadowTheTextIsDrawnFirstInRedOnePixelRightAndDown) {
    display->setDisplayStyle(DisplayWithShadow);
    paintAlone(display);
    const auto texts = drawn("text '");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(drawn("textColor").front(), "textColor 255,0,0,255");
    const auto x = [](const std::string& entry) {
        return std::stoi(entry.substr(entry.find('\'', 6) + 2));
    };
    EXPECT_EQ(x(texts[0]), x(texts[1]) + 1);
}

TEST_F(ParamDisplayTest, HideTextDrawsTheBackgroundButNoText) {
    display->setTextSeeThrough(false);
    display->setDisplayStyle(DisplayHideText);
    paintAlone(display);
    EXPECT_EQ(drawn("fillRect").size(), 1u);
    EXPECT_TRUE(drawn("text '").empty());
}

TEST_F(ParamDisplayTest, HideAllDrawsNothingAndStartsClean) {
    auto* hidden = new CParamDisplay(ViewRect(100, 10, 150, 30), nullptr, DisplayHideAll);
    EXPECT_FALSE(hidden->needsRepaint());
    paintAlone(hidden);
    EXPECT_TRUE(window().drawing.lines.empty());
    hidden->release();
}

TEST_F(ParamDisplayTest, ABackgroundBitmapIsDrawnFromTheBackdropShift) {
    CBitmap* panel = makeBitmap("panel", 463, 334);
    auto* shown = add(new CParamDisplay(ViewRect(100, 50, 132, 60), panel));
    shown->setBackdropShift({100, 50});
    paintAlone(shown);
    EXPECT_EQ(drawn("image"), std::vector<std::string>{"image panel 100 50 32 10 100 50 255"});
}

TEST_F(ParamDisplayTest, VisibleChangesMarkTheDisplayEqualOnesDoNot) {
    paintAlone(display);
    display->setInkColor(kWhiteColor);
    display->setTextAlign(AlignCenter);
    EXPECT_FALSE(display->needsRepaint());
    display->setInkColor(kBlackColor);
    EXPECT_TRUE(display->needsRepaint());
}

} // namespace
} // namespace QXAGUI::testing
