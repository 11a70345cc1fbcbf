// Drags through the view tree on the headless back-end: enter, hover, exit and drop reach the
// view under the point in its parent's coordinates, and a text edit takes dropped text as if
// it had been typed.
#include "cdragcontainer.h"
#include "ctextedit.h"
#include "gui_test_support.h"

namespace QXAGUI {
namespace {

using testing::ControlFrameTest;

// Dragged data: items of a type each.
class FakeDrag : public CDragContainer {
public:
    struct Item {
        int32_t type;
        std::string text;
    };
    explicit FakeDrag(std::vector<Item> items) : items_(std::move(items)) {}

    const char* firstItem(int32_t& size, int32_t& type) override {
        next_ = 0;
        return nextItem(size, type);
    }
    const char* nextItem(int32_t& size, int32_t& type) override {
        size = 0;
        type = DragItemNone;
        if (next_ >= items_.size()) return nullptr;
        const Item& item = items_[next_++];
        size = static_cast<int32_t>(item.text.size());
        type = item.type;
        return item.text.c_str();
    }
    int32_t itemType(int32_t index) override {
        if (index < 0 || index >= itemCount()) return DragItemNone;
        const int32_t type = items_[static_cast<size_t>(index)].type;
        return type == DragTextItem ? DragItemText : type;
    }
    int32_t itemCount() override { return static_cast<int32_t>(items_.size()); }

private:
    std::vector<Item> items_;
    size_t next_ = 0;
};

// A view that records the drags reaching it ("entered 20,20") and takes drops when told to.
class DragProbe : public CView {
public:
    DragProbe(const ViewRect& bounds, std::vector<std::string>& log, const char* name)
        : CView(bounds), log_(log), name_(name) {}
    void dragEntered(CDragContainer*, const ViewPoint& p) override { note("entered", p); }
    void dragHovered(CDragContainer*, const ViewPoint& p) override { note("hovered", p); }
    void dragExited(CDragContainer*, const ViewPoint& p) override { note("exited", p); }
    bool dropData(CDragContainer*, const ViewPoint& p) override {
        note("dropped", p);
        return takesDrops;
    }
    bool takesDrops = false;

private:
    void note(const char* what, const ViewPoint& p) {
        log_.push_back(name_ + " " + what + " " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    std::vector<std::string>& log_;
    std::string name_;
};

class DragTest : public ControlFrameTest {
protected:
    void SetUp() override {
        ControlFrameTest::SetUp();
        // A group at (100, 50) holding probe a at (10, 10, 60, 40); probe b on the frame.
        auto* group = new CViewContainer({100, 50, 300, 150}, frame);
        frame->appendChild(group);
        a = new DragProbe({10, 10, 60, 40}, drags, "a");
        group->appendChild(a);
        b = new DragProbe({0, 0, 50, 40}, drags, "b");
        frame->appendChild(b);
    }
    std::vector<std::string> drags;
    DragProbe* a = nullptr;
    DragProbe* b = nullptr;
    FakeDrag text{{{DragTextItem, "0.5"}}};
    FakeDrag files{{{DragItemFile, "C:\\a.wav"}, {DragItemFile, "C:\\b.wav"}}};
};

TEST_F(DragTest, EnterHoverAndExitReachTheViewUnderThePointInItsParentsCoordinates) {
    frame->dragEntered(&text, {120, 70});
    frame->dragHovered(&text, {125, 72});
    frame->dragHovered(&text,
                       {20, 20}); // over b: a is left (at the point, in its group), b entered
    frame->dragExited(&text, {20, 20});
    EXPECT_EQ(drags,
              (std::vector<std::string>{"a entered 20,20", "a hovered 25,22", "a exited -80,-30",
                                        "b entered 20,20", "b exited 20,20"}));
}

TEST_F(DragTest, ADropReachesTheViewUnderThePointAndAnswersWhatItSays) {
    frame->dragEntered(&files, {120, 70});
    EXPECT_FALSE(frame->dropData(&files, {120, 70})); // a does not take it
    a->takesDrops = true;
    frame->dragEntered(&files, {120, 70});
    EXPECT_TRUE(frame->dropData(&files, {120, 70}));
    EXPECT_EQ(drags,
              (std::vector<std::string>{"a entered 20,20", "a dropped 20,20", "a exited 20,20",
                                        "a entered 20,20", "a dropped 20,20", "a exited 20,20"}));
}

TEST_F(DragTest, ADropWhereNoViewIsAnswersFalse) {
    frame->dragEntered(&text, {400, 150});
    EXPECT_FALSE(frame->dropData(&text, {400, 150}));
    EXPECT_TRUE(drags.empty());
}

class TextDropTest : public ControlFrameTest {
protected:
    CTextEdit* addEdit(const char* initial) {
        return add(new CTextEdit({200, 100, 240, 112}, &listener, 4, initial));
    }
    bool drop(FakeDrag& drag) {
        frame->dragEntered(&drag, {210, 105});
        return frame->dropData(&drag, {210, 105});
    }
};

TEST_F(TextDropTest, DroppedTextIsTakenAsIfTypedInsideOneGesture) {
    CTextEdit* edit = addEdit("1.000");
    FakeDrag text({{DragTextItem, "0.5"}});
    EXPECT_TRUE(drop(text));
    EXPECT_STREQ(edit->text(), "0.5");
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"opens 4", "begin 4", "changed 4 0", "end 4", "closes 4"}));
    EXPECT_EQ(frame->focusedView(), nullptr); // a later click still opens the box
    press({210, 105});
    EXPECT_TRUE(edit->isEditing());
}

TEST_F(TextDropTest, TheSameTextIsTakenWithoutAChange) {
    addEdit("0.5");
    FakeDrag text({{DragTextItem, "0.5"}});
    EXPECT_TRUE(drop(text));
    EXPECT_EQ(log.count("changed"), 0);
    EXPECT_EQ(log.count("begin 4"), log.count("end 4"));
}

TEST_F(TextDropTest, FilesAndDropsOnAnOpenBoxAreRefused) {
    CTextEdit* edit = addEdit("1.000");
    FakeDrag files({{DragItemFile, "C:\\a.wav"}});
    EXPECT_FALSE(drop(files));
    EXPECT_TRUE(log.events.empty());

    press({210, 105});
    ASSERT_TRUE(edit->isEditing());
    log.clear();
    FakeDrag text({{DragTextItem, "0.5"}});
    EXPECT_FALSE(drop(text));
    EXPECT_TRUE(log.events.empty());
    EXPECT_STREQ(edit->text(), "1.000");
}

} // namespace
} // namespace QXAGUI
