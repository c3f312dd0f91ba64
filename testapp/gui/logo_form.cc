#include "testapp/gui/logo_form.h"

#include <QGridLayout>
#include <QLabel>

namespace kelo::testapp {

frmLOGO::frmLOGO(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmLOGO"));
  setVisible(false);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Application title ==>"), this), 0, 0);
  lblCaption_ = new QLabel(QStringLiteral("KeloFPU OPOS driver Test"), this);
  lblCaption_->setObjectName(QStringLiteral("lblCaption"));
  grid->addWidget(lblCaption_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Service object name ==>"), this), 1, 0);
  lblSOName_ = new QLabel(QStringLiteral("KeloFPU"), this);
  lblSOName_->setObjectName(QStringLiteral("lblSOName"));
  grid->addWidget(lblSOName_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("This form will never be displayed! Used to customize "
                                            "the test program implementation."),
                             this),
                  2, 0, 1, 2);
}

}  // namespace kelo::testapp
