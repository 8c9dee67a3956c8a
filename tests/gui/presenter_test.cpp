// The main window's logic against a recording view and library, with no
// display: the port list, the selection, and the switch-off sequence with
// its one message, run beside the window's thread.
#include "disable_tool_presenter.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kestrixtest {
namespace {

using Calls = std::vector<std::string>;
using FailAt = FakeLibrary::FailAt;

const std::string noPort = "Error: No COM Port selected";
const std::string cannotConnect = "Error: Cannot connect to Module";
const std::string success = "Disable AutoExec: AutoExec successfully switched off";
const std::string openCom3 = "open 3 115200 0";

class Presenter : public ::testing::Test {
protected:
    // A machine with COM1 and COM3 (and a COM120 no list may show).
    void SetUp() override
    {
        create([](std::int32_t n) { return n == 1 || n == 3 || n == 120; });
    }

    void create(const kestrix::PortProbe& probe)
    {
        presenter.reset();
        presenter = std::make_unique<kestrix::DisableToolPresenter>(view, library, probe);
    }

    void select(const std::string& item)
    {
        view.text = item;
        presenter->SelectPort();
    }

    // Presses "AutoExec Off" and lets the sequence end on the window's thread.
    void pressAndFinish()
    {
        presenter->AutoStartOff();
        ASSERT_TRUE(presenter->running());
        ASSERT_TRUE(view.runPosted()) << "the sequence never reported its end";
        EXPECT_FALSE(presenter->running());
    }

    FakeView view;
    FakeLibrary library;
    std::unique_ptr<kestrix::DisableToolPresenter> presenter;
};

TEST_F(Presenter, ListsPresentPortsInOrderAndNothingAbove99)
{
    EXPECT_EQ(view.portItems, (Calls{"COM1", "COM3"}));
    EXPECT_EQ(presenter->selectedPort(), 0);

    std::vector<std::int32_t> asked;
    create([&asked](std::int32_t n) {
        asked.push_back(n);
        return true;
    });
    ASSERT_EQ(asked.size(), 99u);
    EXPECT_EQ(asked.front(), 1);
    EXPECT_EQ(asked.back(), 99);
    EXPECT_EQ(view.portItems.back(), "COM99");
}

TEST_F(Presenter, NoPortSelectedOpensNothing)
{
    presenter->AutoStartOff();
    EXPECT_EQ(view.shown, (Calls{noPort}));
    EXPECT_FALSE(presenter->running());
    EXPECT_TRUE(library.calls().empty());
    EXPECT_TRUE(view.busyChanges.empty());
}

TEST_F(Presenter, SuccessRunsTheWholeSequenceThenShowsOneMessage)
{
    select("COM3");
    EXPECT_EQ(presenter->selectedPort(), 3);
    pressAndFinish();
    EXPECT_EQ(library.calls(), (Calls{openCom3, "init", "java 0", "off", "close"}));
    EXPECT_EQ(view.shown, (Calls{success}));
    EXPECT_EQ(view.details, (Calls{""}));
    EXPECT_EQ(view.icons, (std::vector{kestrix::MessageIcon::Information}));
    EXPECT_EQ(view.busyChanges, (std::vector<bool>{true, false}));
}

TEST_F(Presenter, EachFailureClosesAndShowsItsMessage)
{
    // The reason is asked while the connection is still open, and comes
    // beside the fixed text, not in its place.
    struct Case {
        FailAt step;
        Calls calls;
        std::string message;
        std::string detail;
    };
    const Case cases[] = {
        {FailAt::ServiceMode,
         {openCom3, "init", "reason service mode", "close"},
         cannotConnect,
         "reason for service mode on COM3"},
        {FailAt::AutoStart,
         {openCom3, "init", "java 0", "reason autostart", "close"},
         "Error: Cannot switchoff AutoExec",
         "reason for autostart on COM3"},
        {FailAt::SwitchOff,
         {openCom3, "init", "java 0", "off", "reason switch-off", "close"},
         "Error: Cannot close Module connection",
         "reason for switch-off on COM3"},
    };
    for (const Case& c : cases) {
        FakeLibrary failing;
        failing.failAt(c.step);
        FakeView window;
        kestrix::DisableToolPresenter tool(window, failing, [](std::int32_t n) { return n == 3; });
        window.text = "COM3";
        tool.SelectPort();
        tool.AutoStartOff();
        ASSERT_TRUE(window.runPosted());
        EXPECT_EQ(failing.calls(), c.calls) << c.message;
        EXPECT_EQ(window.shown, (Calls{c.message}));
        EXPECT_EQ(window.details, (Calls{c.detail}));
        EXPECT_EQ(window.icons, (std::vector{kestrix::MessageIcon::Critical}));
    }
}

TEST_F(Presenter, PressingTwiceWithNoModuleFailsTwiceAndLeavesNothingOpen)
{
    library.failAt(FailAt::ServiceMode);
    select("COM3");
    pressAndFinish();
    pressAndFinish();
    EXPECT_EQ(view.shown, (Calls{cannotConnect, cannotConnect}));
    EXPECT_EQ(library.calls(), (Calls{openCom3, "init", "reason service mode", "close", openCom3,
                                      "init", "reason service mode", "close"}));
}

TEST_F(Presenter, OnlyASelectedListItemChangesThePort)
{
    // Typed text is read only when an item is selected.
    view.text = "COM7";
    presenter->AutoStartOff();
    EXPECT_EQ(view.shown, (Calls{noPort}));

    select("COM3");
    view.text = "COM7";
    pressAndFinish();
    EXPECT_EQ(library.calls().front(), openCom3);

    // Text that is no list item's (it cannot come from the list) keeps the
    // selection instead of breaking it.
    for (const char* odd : {"", "CO", "COM", "COMx", "COM3x", "COM 7", "COM99999999999"}) {
        select(odd);
        EXPECT_EQ(presenter->selectedPort(), 3) << '"' << odd << '"';
    }
    select("COM12");
    EXPECT_EQ(presenter->selectedPort(), 12);
}

TEST_F(Presenter, WhileRunningASecondPressIsIgnoredAndClosingEndsTheRunWithoutAClick)
{
    select("COM3");
    library.hold();
    presenter->AutoStartOff();
    ASSERT_TRUE(library.waitUntilHeld());

    presenter->AutoStartOff();
    presenter->AboutClick(); // the window still answers
    EXPECT_EQ(view.aboutShown, 1);

    // Closing asks the run to end (its port released, its step failing)
    // and waits for it; a second close asks nothing more.
    EXPECT_FALSE(presenter->MayClose());
    EXPECT_FALSE(presenter->MayClose());
    EXPECT_EQ(view.closed, 0);
    ASSERT_TRUE(view.runPosted());
    EXPECT_EQ(view.closed, 1);
    EXPECT_TRUE(view.shown.empty()) << "a message box nobody asked for: " << view.shown.front();
    EXPECT_EQ(library.calls(),
              (Calls{openCom3, "init", "abandon", "reason service mode", "close"}));
    EXPECT_TRUE(presenter->MayClose());
}

TEST_F(Presenter, LongWaitsShowWhileRunningAndClearAtTheEnd)
{
    select("COM3");
    library.hold();
    presenter->AutoStartOff();
    ASSERT_TRUE(library.waitUntilHeld());
    std::thread([this] { library.reportWait("waiting for the module, probe 3 of 100"); }).join();
    ASSERT_TRUE(view.runPosted());
    EXPECT_EQ(view.progress, (Calls{"waiting for the module, probe 3 of 100"}));

    library.release();
    ASSERT_TRUE(view.runPosted());
    EXPECT_EQ(view.progress, (Calls{"waiting for the module, probe 3 of 100", ""}));
    EXPECT_EQ(view.shown, (Calls{success}));
}

TEST_F(Presenter, PortListIsReadAgainEachTimeItOpens)
{
    bool adapterPlugged = false;
    create([&adapterPlugged](std::int32_t n) { return n == 1 || (n == 33 && adapterPlugged); });
    EXPECT_EQ(view.portItems, (Calls{"COM1"}));
    select("COM1");

    adapterPlugged = true;
    presenter->PortListOpening();
    EXPECT_EQ(view.portItems, (Calls{"COM1", "COM33"}));
    adapterPlugged = false;
    presenter->PortListOpening();
    EXPECT_EQ(view.portItems, (Calls{"COM1"}));
    EXPECT_EQ(view.portRefreshes, 2);
    // The selection is the user's, not the list's.
    EXPECT_EQ(presenter->selectedPort(), 1);
}

TEST_F(Presenter, GoingAwayMidSequenceLetsTheSequenceFinish)
{
    select("COM3");
    library.hold();
    presenter->AutoStartOff();
    ASSERT_TRUE(library.waitUntilHeld());

    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        library.release();
    });
    presenter.reset();
    releaser.join();
    // Nothing abandoned half way: the module was switched off and closed.
    EXPECT_EQ(library.calls(), (Calls{openCom3, "init", "java 0", "off", "close"}));
}

} // namespace
} // namespace kestrixtest
