// quillmark: the desktop window.
#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/StartUp.h"
#include "gui/CommandLine.h"
#include "gui/MainWindow.h"
#include "gui/QtDialogs.h"

int main(int argc, char** argv) {
  using namespace quillmark;
  gui::WindowOptions options;
  if (const std::optional<int> status = gui::ParseCommandLine(argc, argv, options, std::cout, std::cerr))
    return *status;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillmark"));
  QApplication::setDesktopFileName(QStringLiteral("quillmark"));

  // A second copy shows its box without an owner window and ends.
  app::SingleInstance instance;
  gui::QtDialogs ownerless;
  ownerless.SetScripted(options.screenshot.has_value() || options.dialogScreenshot.has_value());
  if (!app::StartUp(instance, ownerless)) return 1;

  gui::MainWindow window;
  const bool picture = options.screenshot || options.dialogScreenshot;
  if (picture) {
    window.resize(1440, 900);
    window.show();
  } else {
    window.showMaximized();
  }
  int status = 0;
  bool ended = false;
  QTimer::singleShot(0, &window, [&] {
    if (const std::optional<int> done = gui::RunOptions(window, options)) {
      status = *done;
      ended = true;
      QApplication::exit(status);
    }
  });
  const int loop = QApplication::exec();
  return ended ? status : loop;
}
