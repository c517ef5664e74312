// One QApplication for every GUI test, on the offscreen platform unless the
// caller asks for another; the profile ("ApplicationLook") kept in a folder of
// the run's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir profile;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(profile.path()));
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (at build time) needs no window system.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
