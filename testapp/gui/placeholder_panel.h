// A panel that this build does not provide yet. It says so plainly instead of pretending to
// work, so a technician never mistakes an empty window for a silent device.
#pragma once

#include <QWidget>

namespace kelo::testapp {

class PlaceholderPanel : public QWidget {
  Q_OBJECT
 public:
  // `formName` is the panel's form name (also its objectName), `caption` the command-bar
  // caption that shows it.
  PlaceholderPanel(const QString& formName, const QString& caption, QWidget* parent = nullptr);
};

}  // namespace kelo::testapp
