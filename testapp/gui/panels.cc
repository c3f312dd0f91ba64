#include "testapp/gui/panels.h"

#include "testapp/gui/macro_window.h"
#include "testapp/gui/placeholder_panel.h"

namespace kelo::testapp {

QWidget* CreatePanel(const QString& form_name, const QString& caption, PanelHost& host,
                     macro::clsMacroEngine& engine) {
  QWidget* panel = nullptr;
  if (form_name == QLatin1String("frmMacro")) {
    panel = new frmMacro(engine, host.Dialogs(), host.Boxes());
  } else {
    panel = new PlaceholderPanel(form_name, caption);
  }
  panel->setWindowTitle(caption);
  return panel;
}

}  // namespace kelo::testapp
