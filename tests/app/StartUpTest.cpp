// Start-up: one instance at a time, the collation list loaded before the window.
#include <gtest/gtest.h>

#include "app/StartUp.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "platform/headless/HeadlessControls.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::testing {
namespace {

TEST(StartUpTest, SecondInstanceIsRefusedUntilTheFirstEnds) {
  TempDir runtime;
  ResetSettings();
  platform::headless::ScriptedDialogs dialogs;
  {
    const app::SingleInstance first(app::kInstanceMutexName, runtime.path().string());
    ASSERT_TRUE(first.acquired());
    EXPECT_TRUE(app::StartUp(first, dialogs));
    EXPECT_FALSE(Settings().collationMap.empty());
    EXPECT_TRUE(dialogs.shown.empty());

    const app::SingleInstance second(app::kInstanceMutexName, runtime.path().string());
    EXPECT_FALSE(second.acquired());
    EXPECT_FALSE(app::StartUp(second, dialogs));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(platform::Utf16ToUtf8(dialogs.shown[0].text), "Another instance of application is already running");
    EXPECT_EQ(platform::Utf16ToUtf8(dialogs.shown[0].caption), "Quillmark v18.0");
    // The lock file is named after the mutex, with nothing that points elsewhere.
    EXPECT_EQ(std::filesystem::path(first.lockPath()).parent_path(), runtime.path());
  }
  // The first instance ended: the lock is free again.
  const app::SingleInstance third(app::kInstanceMutexName, runtime.path().string());
  EXPECT_TRUE(third.acquired());
  ResetSettings();
}

}  // namespace
}  // namespace quillmark::testing
