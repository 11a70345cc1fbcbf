// COptionMenu on the headless back-end: the entry model (numbering, separators, submenus, the
// current entry and storeValue) and the pop-up's lifecycle with scripted choices.
#include "coptionmenu.h"
#include "gui_test_support.h"

#include <cmath>
#include <limits>

namespace QXAGUI {
namespace {

using testing::ControlFrameTest;

class OptionMenuTest : public ControlFrameTest {
protected:
    // A menu of the given titles, appended to parent (the frame when none).
    COptionMenu* addMenu(std::initializer_list<const char*> titles, int32_t tag = 7,
                         DisplayStyle style = 0, CViewContainer* parent = nullptr,
                         const ViewRect& bounds = {10, 20, 90, 34}) {
        auto* menu = new COptionMenu(bounds, &listener, tag, nullptr, style);
        for (const char* title : titles)
            menu->addEntry(title);
        (parent ? parent : frame)->appendChild(menu);
        return menu;
    }
    // A detached menu (tests release it).
    COptionMenu* makeMenu(std::initializer_list<const char*> titles, int32_t tag = 9) {
        auto* menu = new COptionMenu({0, 0, 10, 10}, &listener, tag);
        for (const char* title : titles)
            menu->addEntry(title);
        return menu;
    }
};

// --- the model -------------------------------------------------------------------------------

TEST_F(OptionMenuTest, NumberingStyleThreeShowsTheFifthEntryDelayAs05Delay) {
    COptionMenu* menu = addMenu({"Time", "Volume", "Damp", "Pan", "Delay"});
    menu->setNumberingStyle(3);
    EXPECT_EQ(menu->entryText(4), "05 Delay");
    menu->setNumberingStyle(2);
    EXPECT_EQ(menu->entryText(4), "5 Delay");
    menu->setNumberingStyle(4);
    EXPECT_EQ(menu->entryText(4), "005 Delay");
    menu->setNumberingStyle(1); // not a numbering style
    EXPECT_EQ(menu->entryText(4), "Delay");

    menu->setNumberingStyle(3);
    menu->setCurrent(4);
    paintAlone(menu);
    ASSERT_EQ(drawn("text '").size(), 1u);
    EXPECT_EQ(drawn("text '")[0].rfind("text '05 Delay'", 0), 0u);
}

TEST_F(OptionMenuTest, ADashAddsASeparatorThatVisibleIndexesSkip) {
    COptionMenu* menu = addMenu({"one", "-", "two"});
    menu->addSeparator();
    menu->addEntry("three");
    ASSERT_EQ(menu->entryCount(), 5);
    EXPECT_TRUE(menu->entry(1)->isSeparator());
    EXPECT_STREQ(menu->entry(1)->title(), "");
    EXPECT_TRUE(menu->entry(3)->isSeparator());
    EXPECT_FALSE(menu->entry(2)->isSeparator());

    EXPECT_TRUE(menu->setCurrentVisible(2));
    EXPECT_EQ(menu->currentIndex(), 4);
    EXPECT_TRUE(menu->setCurrentVisible(1));
    EXPECT_EQ(menu->currentIndex(), 2);
    EXPECT_FALSE(menu->setCurrentVisible(3)); // only three visible entries
    EXPECT_FALSE(menu->setCurrentVisible(-1));
    EXPECT_EQ(menu->currentIndex(), 2);
}

TEST_F(OptionMenuTest, InsertingAndRemovingEntriesKeepsTheCurrentEntry) {
    COptionMenu* menu = addMenu({"a", "b", "c"});
    menu->setCurrent(1);
    auto* item = new CMenuItem("first");
    EXPECT_EQ(menu->addEntry(item, 0), item);
    item->release();
    EXPECT_STREQ(menu->currentEntry()->title(), "b");
    EXPECT_EQ(menu->currentIndex(), 2);
    EXPECT_EQ(menu->addEntry("far", 9), nullptr); // past the end
    EXPECT_EQ(menu->entryCount(), 4);

    EXPECT_TRUE(menu->removeEntry(0));
    EXPECT_STREQ(menu->currentEntry()->title(), "b");
    EXPECT_TRUE(menu->removeEntry(1));
    EXPECT_EQ(menu->currentIndex(), -1);
    EXPECT_FALSE(menu->removeEntry(5));
}

TEST_F(OptionMenuTest, StoreValueTakesOnlyTheIndexOfAnEntry) {
    COptionMenu* menu = addMenu({"a", "b", "c"});
    menu->storeValue(2.7f);
    EXPECT_EQ(menu->currentIndex(), 2);
    EXPECT_FLOAT_EQ(menu->value(), 2.0f);
    EXPECT_TRUE(menu->needsRepaint());

    for (float outside :
         {3.0f, -0.5f, -1.0f, 1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::infinity()}) {
        menu->markNeedsRepaint(false);
        menu->storeValue(outside);
        EXPECT_EQ(menu->currentIndex(), 2) << outside;
        EXPECT_FLOAT_EQ(menu->value(), 2.0f) << outside;
        EXPECT_FALSE(menu->needsRepaint()) << outside;
    }
}

TEST_F(OptionMenuTest, StoreValueCanMoveTheTickToTheNewEntry) {
    COptionMenu* menu = addMenu({"a", "b", "c"});
    menu->storeValue(1.0f, true);
    EXPECT_TRUE(menu->entry(1)->isTicked());
    menu->storeValue(2.0f, true);
    EXPECT_FALSE(menu->entry(1)->isTicked());
    EXPECT_TRUE(menu->entry(2)->isTicked());
    menu->storeValue(0.0f);
    EXPECT_TRUE(menu->entry(2)->isTicked()); // the plain form leaves the tick alone
}

TEST_F(OptionMenuTest, ASubmenuLivesAsLongAsAnEntryHoldsIt) {
    COptionMenu* menu = addMenu({"a"});
    COptionMenu* sub = makeMenu({"x", "y"});
    auto* item = new CMenuItem("more", 0, sub);
    menu->addEntry(item);
    item->release();
    sub->release(); // the entry holds the only reference now
    EXPECT_EQ(menu->entry(1)->submenu(), sub);
    EXPECT_EQ(sub->entryCount(), 2);
    // The fixture checks that the menu's release takes the entry and the submenu with it.
}

// --- the pop-up ------------------------------------------------------------------------------

TEST_F(OptionMenuTest, AClickOpensThePopUpBelowTheMenuInScreenCoordinates) {
    window().screenOrigin = {300, 200};
    auto* group = new CViewContainer({100, 50, 400, 150}, frame);
    frame->appendChild(group);
    addMenu({"a", "b"}, 7, 0, group);
    addMenu({"c"}, 8, MenuOpensAtTop, group, {10, 60, 90, 74});

    EXPECT_EQ(press({120, 75}), TakenNoTracking);
    EXPECT_EQ(press({120, 115}), TakenNoTracking);
    ASSERT_EQ(headless::popUps().size(), 2u);
    EXPECT_EQ(headless::popUps()[0].screenPosition, (ViewPoint{300 + 100 + 10, 200 + 50 + 34}));
    EXPECT_EQ(headless::popUps()[1].screenPosition, (ViewPoint{300 + 100 + 10, 200 + 50 + 60}));
    EXPECT_FALSE(headless::popUps()[0].rightButtonSelects);
}

TEST_F(OptionMenuTest, AChosenEntryReachesTheListenerInsideOneGesture) {
    COptionMenu* menu = addMenu({"a", "b", "c"});
    headless::scriptMenuChoice(menu, 2);
    press({20, 25});
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"opens 7", "begin 7", "changed 7 2", "end 7", "closes 7"}));
    EXPECT_EQ(menu->currentIndex(), 2);
    EXPECT_EQ(menu->lastChosenIndex(), 2);
    EXPECT_EQ(menu->lastChosenMenu(), menu);
    EXPECT_EQ(frame->focusedView(), nullptr);
    EXPECT_EQ(menu->openingButtons(), ButtonLeft);
}

TEST_F(OptionMenuTest, AChoiceInASubmenuIsStoredThereAndReported) {
    COptionMenu* menu = addMenu({"a", "b"});
    menu->setCurrent(1);
    COptionMenu* sub = makeMenu({"x", "y", "z"}, 9);
    auto* more = new CMenuItem("more", 0, sub);
    menu->addEntry(more);
    more->release();
    sub->release();
    headless::scriptMenuChoice(sub, 1);
    press({20, 25});
    EXPECT_EQ(sub->currentIndex(), 1);
    EXPECT_EQ(menu->currentIndex(), 1);
    EXPECT_EQ(menu->lastChosenMenu(), sub);
    EXPECT_EQ(menu->lastChosenIndex(), 1);
    EXPECT_EQ(log.count("changed 9 1"), 1);
    EXPECT_EQ(log.count("changed 7"), 0);
}

TEST_F(OptionMenuTest, ADismissedPopUpChangesNothingButEndsTheGesture) {
    COptionMenu* menu = addMenu({"a", "b"});
    menu->setCurrent(0);
    press({20, 25});
    EXPECT_EQ(log.events, (std::vector<std::string>{"opens 7", "begin 7", "end 7", "closes 7"}));
    EXPECT_EQ(menu->currentIndex(), 0);
    EXPECT_EQ(menu->lastChosenMenu(), nullptr);
}

TEST_F(OptionMenuTest, ARightClickLetsTheRightButtonChoose) {
    addMenu({"a"});
    press({20, 25}, ButtonRight);
    ASSERT_EQ(headless::popUps().size(), 1u);
    EXPECT_TRUE(headless::popUps()[0].rightButtonSelects);
    EXPECT_EQ(log.count("modclick 7"), 1); // the listener was asked first and let it pass
}

TEST_F(OptionMenuTest, AMiddleClickOrTabOpensNothing) {
    COptionMenu* menu = addMenu({"a"});
    menu->setAcceptsFocus(true);
    EXPECT_EQ(press({20, 25}, ButtonMiddle), Passed);
    KeyRecord tab{0, kKeyTab, 0};
    EXPECT_EQ(frame->keyPressed(tab), 1);
    EXPECT_EQ(frame->focusedView(), menu);
    EXPECT_TRUE(headless::popUps().empty());
}

class LooseFocusWatcher : public CViewContainer {
public:
    using CViewContainer::CViewContainer;
    int32_t handleMessage(CBaseObject* sender, const char* message) override {
        if (message == kMsgLooseFocus) {
            lostBy = sender;
            return 1;
        }
        return CViewContainer::handleMessage(sender, message);
    }
    CBaseObject* lostBy = nullptr;
};

TEST_F(OptionMenuTest, TheEndOfThePopUpTellsTheAncestorsTheFocusIsGone) {
    auto* group = new LooseFocusWatcher({0, 0, 200, 100}, frame);
    frame->appendChild(group);
    COptionMenu* menu = addMenu({"a"}, 7, 0, group);
    press({20, 25});
    EXPECT_EQ(group->lostBy, menu);
}

class RecordingScheme : public COptionMenuScheme {
public:
    void entrySize(const CMenuItem&, int32_t& width, int32_t& height) override {
        width = 10;
        height = 10;
    }
    void paintEntry(CDrawContext*, const ViewRect&, const CMenuItem&, int32_t) override {}
    void paintOpenMenu(CDrawContext*, COptionMenu&, const char* text) override {
        openPaints.push_back(text);
    }
    std::vector<std::string> openPaints;
};

TEST_F(OptionMenuTest, AMenuWithASchemeAsksForItsOpenLookBeforeThePopUp) {
    auto* scheme = new RecordingScheme;
    COptionMenu* menu = addMenu({"a", "b"});
    addMenu({"c"}, 8, 0, nullptr, {100, 20, 180, 34}); // without a scheme
    menu->setScheme(scheme);
    scheme->release();
    menu->setCurrent(1);

    window().invalidations.clear();
    press({120, 25});
    EXPECT_TRUE(window().invalidations.empty());
    headless::whilePopUpShown([&] {
        ASSERT_EQ(window().invalidations.size(), 1u);
        EXPECT_EQ(window().invalidations[0], menu->bounds());
        paintAlone(menu);
    });
    press({20, 25});
    EXPECT_EQ(scheme->openPaints, (std::vector<std::string>{"b"}));
    EXPECT_TRUE(drawn("text '").empty());

    paintAlone(menu); // closed again: the display's own look
    EXPECT_EQ(scheme->openPaints.size(), 1u);
    EXPECT_EQ(drawn("text '").size(), 1u);
}

} // namespace
} // namespace QXAGUI
