// The shell driven from two threads as a user drives it: clicks and commands
// arrive on the user-interface thread while a worker runs on its own. Every
// refusal shows its text, no second worker starts while one lives, nothing
// deadlocks.
#include <algorithm>

#include "platform/TreeRules.h"
#include "tests/app/ShellTest.h"

namespace quillmark::testing {
namespace {

using app::HeadlessShell;

constexpr const char* kWait = "Please wait for the running process.";

long CountOf(const std::vector<std::string>& texts, const std::string& text) {
  return std::count(texts.begin(), texts.end(), text);
}

class ConcurrencyTest : public ShellTest {
 protected:
  platform::TreeItem Item(const HeadlessShell& shell, const std::vector<std::u16string>& path) const {
    std::vector<std::u16string> full{shell.window.tree.ItemText(shell.window.tree.FirstChild(0))};
    full.insert(full.end(), path.begin(), path.end());
    return shell.window.tree.Find(full);
  }
  void Open(HeadlessShell& shell, const char* fixture) {
    ASSERT_TRUE(shell.Scan(Options(RealFixture(fixture))));
    ASSERT_EQ(LastBox(shell), "Scanning process completed.");
  }
};

// Stop clears busy while the worker still winds down: a click and an Open
// right after are refused until it has ended, and a scan afterwards works.
TEST_F(ConcurrencyTest, StopDuringAScanThenClickAndOpenAtOnceAreRefused) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2014_pubs.mdf");
  const platform::TreeItem table = Item(shell, {u"Tables", u"User Tables", u"titles"});
  bool dialogShown = false;
  WhileMapping(shell, [&] {
    shell.frame.OnCommand(app::kCommandStop);  // answered Yes
    EXPECT_EQ(Settings().busy, 0);
    EXPECT_TRUE(shell.frame.WorkerAlive());
    EXPECT_EQ(shell.frame.send(platform::WM_APP_OBJECT_SELECTED, platform::kHitOnLabel, static_cast<platform::LParam>(table)), 0);
    shell.frame.runOpenDialog = [&](app::CKestrumFileSettingDlg&) { return dialogShown = true; };
    shell.frame.OnCommand(app::kCommandOpen);
  });
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2008r2_northwind.mdf"))));
  EXPECT_FALSE(dialogShown);
  const std::vector<std::string> boxes = Boxes(shell);
  EXPECT_EQ(CountOf(boxes, kWait), 2);
  EXPECT_EQ(boxes.back(), "Scanning process aborted.");
  EXPECT_EQ(Settings().busy, 0);
  EXPECT_EQ(Settings().stopRequested, 0);

  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2008r2_northwind.mdf"))));
  EXPECT_EQ(LastBox(shell), "Scanning process completed.");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Customers"}));
  EXPECT_EQ(Text(shell.window.status.Text()), "Page1 - [91](1-91) Records");
}

TEST_F(ConcurrencyTest, SecondNextClickBeforeTheFirstWorkerRunsIsRefused) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Order Details"}));
  EXPECT_EQ(shell.frame.send(platform::WM_APP_NEXT_RECORDS, 0, 0), 1);
  EXPECT_EQ(shell.frame.send(platform::WM_APP_NEXT_RECORDS, 0, 0), 0);
  shell.Wait();
  EXPECT_EQ(LastBox(shell), kWait);
  EXPECT_EQ(Text(shell.window.status.Text()), "Page2 - [1000](1001-2000) Records");
  EXPECT_EQ(Settings().busy, 0);
}

// A stop answered after the paging worker ended leaves no stale request, and a
// stopped paging worker does not empty the next selection.
TEST_F(ConcurrencyTest, StoppedPagingLeavesTheNextSelectionItsRows) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Order Details"}));
  ASSERT_EQ(shell.frame.send(platform::WM_APP_NEXT_RECORDS, 0, 0), 1);
  shell.frame.OnCommand(app::kCommandStop);
  shell.Wait();
  EXPECT_EQ(Settings().busy, 0);
  // Stop with nothing running asks nothing.
  const std::size_t shown = shell.window.dialogs.shown.size();
  shell.frame.OnCommand(app::kCommandStop);
  EXPECT_EQ(shell.window.dialogs.shown.size(), shown);
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Customers"}));
  EXPECT_EQ(Text(shell.window.status.Text()), "Page1 - [91](1-91) Records");
}

// A worker that ends while the Stop question is open leaves no stop request
// behind for the next one.
TEST_F(ConcurrencyTest, StopAnsweredAfterTheWorkerEndedRaisesNothing) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  ASSERT_TRUE(shell.Select({u"Tables", u"User Tables", u"Order Details"}));
  ASSERT_EQ(shell.frame.send(platform::WM_APP_NEXT_RECORDS, 0, 0), 1);
  shell.window.dialogs.whileShown = [&](const auto&) {
    shell.ui.PumpUntil([&] { return !shell.frame.WorkerAlive(); });
  };
  shell.frame.OnCommand(app::kCommandStop);
  shell.window.dialogs.whileShown = nullptr;
  EXPECT_EQ(Settings().stopRequested, 0);
  EXPECT_EQ(Text(shell.window.status.Text()), "Page2 - [1000](1001-2000) Records");
}

// The worker lists the item clicked, whatever a right click selects meanwhile.
TEST_F(ConcurrencyTest, RightClickDuringASelectionDoesNotChangeWhatIsListed) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  Open(shell, "sql2008r2_northwind.mdf");
  const platform::TreeItem customers = Item(shell, {u"Tables", u"User Tables", u"Customers"});
  const platform::TreeItem shippers = Item(shell, {u"Tables", u"User Tables", u"Shippers"});
  platform::LeftButtonDown(shell.window.tree, customers, platform::kHitOnLabel, &shell.frame);
  platform::RightButtonDown(shell.window.tree, shippers);
  shell.Wait();
  EXPECT_EQ(Text(shell.window.caption.Text()), "Customers[91]");
  EXPECT_EQ(shell.window.records.RowCount(), 91);
  EXPECT_EQ(shell.window.tree.Selection(), shippers);
  // A click during the selection is refused and the selection snaps back.
  platform::LeftButtonDown(shell.window.tree, customers, platform::kHitOnLabel, &shell.frame);
  platform::LeftButtonDown(shell.window.tree, shippers, platform::kHitOnLabel, &shell.frame);
  EXPECT_EQ(shell.window.tree.Selection(), customers);
  shell.Wait();
  EXPECT_EQ(LastBox(shell), kWait);
  EXPECT_EQ(Text(shell.window.caption.Text()), "Customers[91]");
}

TEST_F(ConcurrencyTest, CloseDuringAScanIsRefusedAndAfterItShowsTheLogPath) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  bool closed = true;
  WhileMapping(shell, [&] { closed = shell.frame.OnClose(); });
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2014_pubs.mdf"))));
  EXPECT_FALSE(closed);
  EXPECT_EQ(CountOf(Boxes(shell), "Please stop the running process to close the application."), 1);
  EXPECT_EQ(LastBox(shell), "Scanning process completed.");

  std::vector<std::string> pages;
  shell.frame.openWebPage = [&](const std::string& url) { pages.push_back(url); };
  shell.window.dialogs.answers.push_back(platform::Answer::kNo);
  EXPECT_FALSE(shell.frame.OnClose());
  EXPECT_TRUE(shell.frame.opened().file);
  EXPECT_TRUE(shell.frame.OnClose());
  EXPECT_EQ(LastBox(shell), "Log file path : " + Settings().logFilePath);
  EXPECT_EQ(shell.window.dialogs.shown.back().icon, platform::Icon::kInformation);
  EXPECT_FALSE(shell.frame.opened().file);
  EXPECT_EQ(pages.size(), 1u);
}

TEST_F(ConcurrencyTest, HelpAboutAndUpdateWaitForTheScan) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  int opened = 0;
  shell.frame.openWebPage = [&](const std::string&) { ++opened; };
  shell.frame.showAbout = [&] { ++opened; };
  WhileMapping(shell, [&] {
    for (const int command : {app::kCommandHelp, app::kCommandAbout, app::kCommandUpdate})
      shell.frame.OnCommand(command);
  });
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2014_pubs.mdf"))));
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(CountOf(Boxes(shell), "Please stop the running process to continue the process."), 3);
  for (const int command : {app::kCommandHelp, app::kCommandAbout, app::kCommandUpdate}) shell.frame.OnCommand(command);
  EXPECT_EQ(opened, 3);
}

// A stop answered No leaves the worker running and busy set.
TEST_F(ConcurrencyTest, StopAnsweredNoLetsTheScanComplete) {
  QM_REQUIRE_REAL_FIXTURES();
  HeadlessShell shell;
  WhileMapping(shell, [&] {
    shell.window.dialogs.answers.push_back(platform::Answer::kNo);
    shell.frame.OnCommand(app::kCommandStop);
    EXPECT_EQ(Settings().busy, 1);
  });
  ASSERT_TRUE(shell.Scan(Options(RealFixture("sql2014_pubs.mdf"))));
  EXPECT_EQ(LastBox(shell), "Scanning process completed.");
  EXPECT_EQ(Text(shell.window.dialogs.shown[0].text), "Are you sure to stop the running process?");
}

}  // namespace
}  // namespace quillmark::testing
