// frmLOGO: the customisation form. It is never shown; it only carries the values that brand
// this build of the test program (its title and the device name that Open uses).
#pragma once

#include <QWidget>

class QLabel;

namespace kelo::testapp {

class frmLOGO : public QWidget {
  Q_OBJECT
 public:
  explicit frmLOGO(QWidget* parent = nullptr);

  // "KeloFPU OPOS driver Test": the main window's title.
  QLabel* lblCaption() const { return lblCaption_; }
  // "KeloFPU": the device name passed to Open.
  QLabel* lblSOName() const { return lblSOName_; }

 private:
  QLabel* lblCaption_;
  QLabel* lblSOName_;
};

}  // namespace kelo::testapp
