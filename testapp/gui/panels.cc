#include "testapp/gui/panels.h"

#include "testapp/gui/autotests_panel.h"
#include "testapp/gui/directio_panel.h"
#include "testapp/gui/fiscal_ticket_panel.h"
#include "testapp/gui/macro_window.h"
#include "testapp/gui/nonfiscal_panel.h"
#include "testapp/gui/placeholder_panel.h"
#include "testapp/gui/reports_panel.h"
#include "testapp/gui/settings_panel.h"

namespace kelo::testapp {

QWidget* CreatePanel(const QString& form_name, const QString& caption, PanelHost& host,
                     macro::clsMacroEngine& engine) {
  QWidget* panel = nullptr;
  if (form_name == QLatin1String("frmSettings")) {
    panel = new frmSettings(host);
  } else if (form_name == QLatin1String("frmFiscalTicket")) {
    panel = new frmFiscalTicket(host);
  } else if (form_name == QLatin1String("frmNonFiscal")) {
    panel = new frmNonFiscal(host);
  } else if (form_name == QLatin1String("frmReports")) {
    panel = new frmReports(host);
  } else if (form_name == QLatin1String("frmProperties")) {
    panel = new frmProperties(host);
  } else if (form_name == QLatin1String("frmDirectIO")) {
    panel = new frmDirectIO(host);
  } else if (form_name == QLatin1String("frmAutoTests")) {
    panel = new frmAutoTests(host, host.Prefixes());
  } else if (form_name == QLatin1String("frmMacro")) {
    panel = new frmMacro(engine, host.Dialogs(), host.Boxes());
  } else {
    panel = new PlaceholderPanel(form_name, caption);
  }
  panel->setWindowTitle(caption);
  return panel;
}

}  // namespace kelo::testapp
