// What the panels of the test application get from the main window: the one wrapper, the
// user-interface seams, the status refresh and access to the other panels.
#pragma once

#include <QString>
#include <QWidget>

#include "testapp/core/auto_tests.h"
#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

class PanelHost {
 public:
  virtual ~PanelHost() = default;
  virtual clsFprtWrapper& Wrapper() = 0;
  virtual MessageBoxes& Boxes() = 0;
  virtual FileDialogs& Dialogs() = 0;
  // UpdateStatus of the main window: error labels (and the "ERRORS: " box), State, PrinterState.
  virtual void UpdateStatus() = 0;
  // Another panel by its form name ("frmSettings", ...), null when there is none.
  virtual QWidget* Panel(const QString& form_name) const = 0;
  // The device name of the customisation form ("KeloFPU").
  virtual QString DeviceName() const = 0;
  // The print-mode escape prefixes built at start-up.
  virtual const EscapePrefixes& Prefixes() const = 0;
};

}  // namespace kelo::testapp
