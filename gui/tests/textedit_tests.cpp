// CTextEdit on the headless back-end: starting and ending an edit, the gesture around it, what
// the listener hears, and the ways an edit can be cut short.
#include "cdrawcontext.h"
#include "ctextedit.h"
#include "gui_test_support.h"

namespace QXAGUI {
namespace {

using testing::FrameTest;

class TextEditTest : public FrameTest {
protected:
    CTextEdit* addEdit(const ViewRect& bounds, int32_t tag, const char* text,
                       DisplayStyle style = 0, CViewContainer* parent = nullptr) {
        auto* edit = new CTextEdit(bounds, &listener, tag, text, nullptr, style);
        (parent ? parent : frame)->appendChild(edit);
        return edit;
    }
    void press(const ViewPoint& point, ButtonFlags buttons = ButtonLeft) {
        frame->pointerDown(point, buttons);
    }
    std::vector<std::string> heard() {
        std::vector<std::string> all = editor.events;
        for (const std::string& event : listener.events)
            all.push_back(event);
        return all;
    }
};

TEST_F(TextEditTest, AClickOpensTheBoxOverTheDisplayWithItsTextAndFont) {
    auto* group = new CViewContainer({100, 50, 300, 150}, frame);
    frame->appendChild(group);
    CTextEdit* edit = addEdit({10, 20, 42, 30}, 3, "-6.00", 0, group);
    edit->setDisplayFont(FontSmall);
    edit->setTextAlign(AlignRight);
    EXPECT_EQ(frame->pointerDown({120, 75}, ButtonLeft), TakenNoTracking);
    ASSERT_NE(headless::openEditBox(), nullptr);
    const headless::EditBoxRecord& box = *headless::openEditBox();
    EXPECT_EQ(box.rect, (ViewRect{110, 70, 143, 81})); // frame coordinates, one pixel larger
    EXPECT_EQ(box.text, "-6.00");
    EXPECT_EQ(box.fontName, "Arial");
    EXPECT_EQ(box.fontHeight, 8); // 10 pixels high: min(10 - 2, 11)
    EXPECT_EQ(box.align, AlignRight);
    EXPECT_EQ(frame->focusedView(), edit);
    EXPECT_TRUE(edit->isEditing());
}

TEST_F(TextEditTest, ReturnCommitsAChangedTextInsideOneGesture) {
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 4, "old");
    press({5, 5});
    headless::typeIntoEditBox("new");
    headless::pressReturnInEditBox();
    EXPECT_FALSE(edit->isEditing());
    EXPECT_EQ(headless::liveEditBoxes(), 0);
    EXPECT_STREQ(edit->text(), "new");
    EXPECT_TRUE(edit->returnPressed());
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 4", "end 4"}));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"opens 4", "changed 4", "closes 4"}));
}

TEST_F(TextEditTest, AnUnchangedTextIsNotReported) {
    addEdit({0, 0, 40, 12}, 4, "same");
    press({5, 5});
    headless::pressReturnInEditBox();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"opens 4", "closes 4"}));
}

TEST_F(TextEditTest, AClickElsewhereEndsTheEdit) {
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 4, "a");
    press({5, 5});
    headless::typeIntoEditBox("b");
    press({300, 100});
    EXPECT_FALSE(edit->isEditing());
    EXPECT_STREQ(edit->text(), "b");
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 4", "end 4"}));
}

TEST_F(TextEditTest, AClickOnTheDisplayBeingEditedGoesToTheBox) {
    addEdit({0, 0, 40, 12}, 4, "a");
    press({5, 5});
    EXPECT_EQ(frame->childAt(0)->pointerDown({5, 5}, ButtonLeft), Passed);
    EXPECT_EQ(headless::liveEditBoxes(), 1);
}

TEST_F(TextEditTest, ADoubleClickToEditDisplayIgnoresASingleClick) {
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 5, "x", DoubleClickToEdit);
    press({5, 5});
    EXPECT_FALSE(edit->isEditing());
    EXPECT_TRUE(editor.events.empty());
    press({5, 5}, ButtonLeft | ClickDouble);
    EXPECT_TRUE(edit->isEditing());
}

TEST_F(TextEditTest, TabOntoADisplayOpensTheBoxAndBalancesTheGesture) {
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 6, "t");
    KeyRecord tab{0, kKeyTab, 0};
    EXPECT_EQ(frame->keyPressed(tab), 1);
    EXPECT_TRUE(edit->isEditing());
    headless::pressReturnInEditBox();
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 6", "end 6"}));
}

TEST_F(TextEditTest, TheBoxsOwnKillFocusDoesNotEndTheEditTwice) {
    // The headless box, like the system's, takes the focus away when it is destroyed.
    addEdit({0, 0, 40, 12}, 7, "k");
    press({5, 5});
    headless::typeIntoEditBox("kk");
    headless::pressReturnInEditBox();
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 7", "end 7"}));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"opens 7", "changed 7", "closes 7"}));
}

TEST_F(TextEditTest, ClosingTheFrameWhileEditingWritesNothing) {
    addEdit({0, 0, 40, 12}, 8, "before");
    press({5, 5});
    headless::typeIntoEditBox("typed but not committed");
    frame->release();
    frame = nullptr;
    EXPECT_EQ(headless::liveEditBoxes(), 0);
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 8", "end 8"}));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"opens 8", "closes 8"}));
}

TEST_F(TextEditTest, RemovingTheDisplayWhileEditingWritesNothing) {
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 9, "before");
    press({5, 5});
    headless::typeIntoEditBox("gone");
    frame->removeChild(edit);
    EXPECT_EQ(headless::liveEditBoxes(), 0);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"opens 9", "closes 9"}));
}

TEST_F(TextEditTest, TextsAreCutAt255BytesWithoutSplittingACharacter) {
    std::string longText(254, 'a');
    longText += "\xC3\xA9"; // a two-byte character at bytes 254 and 255
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 1, nullptr);
    edit->assignText(longText.c_str());
    EXPECT_EQ(std::string(edit->text()), std::string(254, 'a'));
    edit->markNeedsRepaint(false);
    edit->assignText(std::string(254, 'a').c_str());
    EXPECT_FALSE(edit->needsRepaint()); // an equal text changes nothing
    edit->assignText(nullptr);
    EXPECT_STREQ(edit->text(), "");
    EXPECT_TRUE(edit->needsRepaint());
}

TEST_F(TextEditTest, PaintShowsTheFormattedTextAndNothingWhileEditing) {
    CTextEdit* edit = addEdit({0, 0, 40, 12}, 1, "raw");
    edit->setTextFormatter(
        [](const char* text, char* out) { std::snprintf(out, kTextEditCapacity, "<%s>", text); });
    window().drawing.clear();
    frame->paintArea(nullptr, {0, 0, 40, 12});
    EXPECT_EQ(window().drawing.matching("text '").size(), 1u);
    EXPECT_NE(window().drawing.matching("text '")[0].find("'<raw>'"), std::string::npos);
    press({5, 5});
    window().drawing.clear();
    frame->paintArea(nullptr, {0, 0, 40, 12});
    EXPECT_TRUE(window().drawing.matching("text '").empty());
}

} // namespace
} // namespace QXAGUI
