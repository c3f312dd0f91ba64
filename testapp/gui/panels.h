// Creates the eight exchangeable panels of the main window by form name.
#pragma once

#include <QString>
#include <QWidget>

#include "testapp/gui/panel_host.h"
#include "testapp/macro/macro_engine.h"

namespace kelo::testapp {

// The panel `form_name` ("frmSettings", "frmFiscalTicket", ...; `caption` is its command-bar
// caption). Panels this build does not offer are an honest placeholder saying so. The panel's
// objectName is its form name.
QWidget* CreatePanel(const QString& form_name, const QString& caption, PanelHost& host,
                     macro::clsMacroEngine& engine);

}  // namespace kelo::testapp
