#include "pages/LocalPage.h"
#include "resources/LocalPageIds.h"
#include "tests/pages/PageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra {
namespace {

class LocalPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RegisterCommonControls();
        ASSERT_TRUE(host);
        ASSERT_TRUE(page.Create(::GetModuleHandleA(nullptr), host.get()));
    }

    std::vector<bool> requests; // useWeb of each display-only check asked for
    UniqueWindow host = test::MakeHostWindow();
    CLocalPage page{[this](bool useWeb) { requests.push_back(useWeb); }};
};

TEST_F(LocalPageTest, IsCreatedHiddenAsAChildWithItsControls) {
    EXPECT_FALSE(page.IsVisible());
    EXPECT_EQ(::GetParent(page), host.get());
    EXPECT_EQ(page.ItemText(IDC_LOCAL_USE_LOCAL), "Local");
    EXPECT_EQ(page.ItemText(IDC_LOCAL_USE_WEB), "Web");
    const LONG logStyle = ::GetWindowLongA(page.LogBox(), GWL_STYLE);
    EXPECT_TRUE(logStyle & ES_MULTILINE);
    EXPECT_TRUE(logStyle & ES_READONLY);
    EXPECT_TRUE(logStyle & WS_VSCROLL);
    EXPECT_FALSE(::GetWindowLongA(page.Item(IDC_LOCAL_USE_WEB), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(LocalPageTest, EachRadioClickAsksForADisplayOnlyCheckInItsMode) {
    Window(page.Item(IDC_LOCAL_USE_LOCAL)).SendMsg(BM_CLICK);
    EXPECT_TRUE(page.IsLocalSelected());
    EXPECT_FALSE(page.IsWebSelected());

    Window(page.Item(IDC_LOCAL_USE_WEB)).SendMsg(BM_CLICK);
    EXPECT_TRUE(page.IsWebSelected());
    EXPECT_FALSE(page.IsLocalSelected());

    // The selected button asks again.
    Window(page.Item(IDC_LOCAL_USE_WEB)).SendMsg(BM_CLICK);
    EXPECT_EQ(requests, (std::vector<bool>{false, true, true}));
}

TEST_F(LocalPageTest, SelectModeTicksExactlyOneButtonAndAsksForNoCheck) {
    page.SelectMode(true);
    EXPECT_TRUE(page.IsWebSelected());
    EXPECT_FALSE(page.IsLocalSelected());
    page.SelectMode(false);
    EXPECT_TRUE(page.IsLocalSelected());
    EXPECT_FALSE(page.IsWebSelected());
    EXPECT_TRUE(requests.empty());
}

TEST_F(LocalPageTest, AddressFieldGivesBackDottedTextAndBlankAsEmpty) {
    EXPECT_EQ(page.AddressText(), "");
    page.SetAddressText("192.168.1.20");
    EXPECT_EQ(page.AddressText(), "192.168.1.20");
    page.SetAddressText("0.0.0.0");
    EXPECT_EQ(page.AddressText(), "0.0.0.0");
    page.SetAddressText("255.255.255.255");
    EXPECT_EQ(page.AddressText(), "255.255.255.255");
    page.SetAddressText("");
    EXPECT_EQ(page.AddressText(), "");
}

TEST_F(LocalPageTest, TextThatIsNoAddressBlanksTheField) {
    for (const char* text : {"256.1.1.1", "1.2.3", "1.2.3.4x", "host.example", "1.2.3.4.5"}) {
        page.SetAddressText("10.0.0.1");
        page.SetAddressText(text);
        EXPECT_EQ(page.AddressText(), "") << text;
    }
}

TEST_F(LocalPageTest, LogKeepsLinesInOrderAndShowsTheLast) {
    for (int i = 0; i < 60; ++i)
        page.AppendLog("line " + std::to_string(i) + "\r\n");
    const std::string text = Window(page.LogBox()).Text();
    EXPECT_EQ(text.substr(0, 16), "line 0\r\nline 1\r\n");
    EXPECT_EQ(text.substr(text.size() - 9), "line 59\r\n");

    // The box is taller than one line but far shorter than sixty: its last lines are in view.
    const Window log(page.LogBox());
    const LRESULT lines = log.SendMsg(EM_GETLINECOUNT);
    const LRESULT firstVisible = log.SendMsg(EM_GETFIRSTVISIBLELINE);
    EXPECT_GT(firstVisible, 40);
    EXPECT_LT(firstVisible, lines);
}

TEST_F(LocalPageTest, LogBeyondItsCapacityDropsTheOldestWholeLinesInOneCut) {
    const std::string filler(1000, 'x');
    const auto entry = [&](std::size_t i) { return std::to_string(i) + " " + filler + "\r\n"; };
    std::size_t count = 0;
    // Up to the capacity nothing is dropped.
    while (Window(page.LogBox()).Text().size() + entry(count).size() <= CLocalPage::kLogCapacity)
        page.AppendLog(entry(count++));
    EXPECT_EQ(Window(page.LogBox()).Text().rfind("0 " + filler, 0), 0u);

    // The next one would pass it.
    const std::string newest = entry(count++);
    page.AppendLog(newest);
    std::string text = Window(page.LogBox()).Text();
    EXPECT_LE(text.size(), CLocalPage::kLogKept);
    EXPECT_GT(text.size(), CLocalPage::kLogKept - 1100);
    EXPECT_EQ(text.substr(text.size() - newest.size()), newest);
    // It begins with a whole line: a number, a blank and the filler.
    const std::size_t firstEnd = text.find("\r\n");
    ASSERT_NE(firstEnd, std::string::npos);
    const std::string first = text.substr(0, firstEnd);
    EXPECT_EQ(first.substr(first.find(' ') + 1), filler);
    EXPECT_GT(std::stoul(first), 0u);
    EXPECT_NE(text.find(entry(count - 2) + newest), std::string::npos);

    // After the cut, lines are appended again until the capacity is reached once more.
    const std::string before = text;
    page.AppendLog(entry(count));
    text = Window(page.LogBox()).Text();
    EXPECT_EQ(text, before + entry(count));
}

TEST_F(LocalPageTest, AnEntryLargerThanTheKeptPartKeepsItsOwnNewestLines) {
    page.AppendLog("old\r\n");
    std::string huge;
    for (std::size_t i = 0; huge.size() < CLocalPage::kLogCapacity + 10; ++i)
        huge += std::to_string(i) + " " + std::string(1000, 'y') + "\r\n";
    page.AppendLog(huge);
    const std::string text = Window(page.LogBox()).Text();
    EXPECT_LE(text.size(), CLocalPage::kLogKept);
    EXPECT_EQ(text.find("old"), std::string::npos);
    EXPECT_EQ(huge.substr(huge.size() - text.size()), text);
    EXPECT_NE(text.front(), 'y') << "it begins with a whole line";
}

} // namespace
} // namespace tovra
