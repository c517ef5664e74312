#include "platform/Messages.h"

#include <gtest/gtest.h>

namespace quillmark::platform {
namespace {

TEST(RecordingTarget, CopiesTextsOfTextMessagesOnly) {
  RecordingTarget target;
  {
    std::string onStack = "Mapping Database Objects...........";
    SendText(&target, WM_APP_PANEL_TEXT, onStack.c_str());
  }
  Send(&target, WM_APP_PROGRESS_POS, 42, 0);
  ASSERT_EQ(target.messages.size(), 2u);
  EXPECT_EQ(target.messages[0].text, "Mapping Database Objects...........");
  EXPECT_EQ(target.messages[1].wParam, 42u);
  EXPECT_TRUE(target.messages[1].text.empty());
  EXPECT_EQ(target.Count(WM_APP_PROGRESS_POS), 1u);
}

TEST(RecordingTarget, NoTargetSendsNowhere) { EXPECT_EQ(SendText(nullptr, WM_APP_FATAL, "x"), 0); }

}  // namespace
}  // namespace quillmark::platform
