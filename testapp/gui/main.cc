// KeloFPUTest: the windowed test application. With --play or --autotest it runs headless
// (no window, no display needed); otherwise it opens the main window.
//
// Extra options of the window program:
//   --screenshot FILE   save a picture of the main window to FILE (PNG) after start-up and
//                       quit; --panel FORM (for example frmMacro) chooses the panel shown,
//                       --click NAME (repeatable) presses that button first (cmdOCE, ...).
#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "control/fiscal_printer.h"
#include "testapp/gui/gui_event_dispatcher.h"
#include "testapp/gui/main_window.h"
#include "testapp/gui/qt_ui_seams.h"
#include "testapp/headless/headless_runner.h"

namespace {

bool HasEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// QApplication aborts the process when it cannot reach a display; say what is missing instead.
bool DisplayAvailable() {
  return HasEnv("QT_QPA_PLATFORM") || HasEnv("DISPLAY") || HasEnv("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  const int headless = kelo::testapp::HeadlessMain(argc, argv);
  if (headless >= 0) return headless;

  std::string screenshot;
  std::string panel;
  std::vector<std::string> clicks;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--screenshot" || arg == "--panel") && i + 1 < argc) {
      (arg == "--screenshot" ? screenshot : panel) = argv[++i];
    } else if (arg == "--click" && i + 1 < argc) {
      clicks.push_back(argv[++i]);
    } else {
      std::cerr << "KeloFPUTest: unknown argument " << arg << "\n"
                << kelo::testapp::HeadlessUsage();
      return 2;
    }
  }

  if (!DisplayAvailable()) {
    std::cerr << "KeloFPUTest: no display available (DISPLAY, WAYLAND_DISPLAY and "
                 "QT_QPA_PLATFORM are all unset).\n"
                 "Run it on a desktop, under xvfb-run, with QT_QPA_PLATFORM=offscreen, or "
                 "headless with --play FILE.oposcmd or --autotest NAME.\n";
    return 2;
  }

  QApplication app(argc, argv);
  kelo::testapp::QtMessageBoxes boxes;
  kelo::testapp::QtFileDialogs dialogs;
  auto dispatcher = kelo::testapp::MakeGuiEventDispatcher();
  int status = 0;
  {
    kelo::control::FiscalPrinterOptions options;
    options.dispatcher = dispatcher;
    kelo::control::FiscalPrinter control(options);
    kelo::testapp::MDITestFPOPOS window(control, boxes, dialogs);
    boxes.SetOwner(&window);
    dialogs.SetOwner(&window);
    if (!panel.empty()) window.ShowPanel(QString::fromStdString(panel));
    window.show();

    if (!clicks.empty()) {
      QTimer::singleShot(200, &window, [&window, &clicks] {
        for (const std::string& name : clicks) {
          auto* button = window.findChild<QAbstractButton*>(QString::fromStdString(name));
          if (button) {
            button->click();
          } else {
            std::cerr << "KeloFPUTest: no button " << name << "\n";
          }
        }
      });
    }
    if (!screenshot.empty()) {
      QTimer::singleShot(1000, &window, [&window, &screenshot, &status] {
        if (!window.grab().save(QString::fromStdString(screenshot), "PNG")) {
          std::cerr << "KeloFPUTest: cannot write " << screenshot << "\n";
          status = 1;
        }
        QApplication::quit();
      });
    }
    const int rc = app.exec();
    if (status == 0) status = rc;
    // An error event may still wait for this thread; it gets the service object's default
    // answer instead of blocking the shutdown.
    dispatcher->Shutdown();
  }
  return status;
}
