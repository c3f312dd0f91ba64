#include "testapp/gui/logo_form.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace kelo::testapp {

namespace {

// The program's icon: a small receipt with a green status dot, drawn here so the program
// needs no image files.
QIcon ReceiptIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(7, 3, 18, 26));
  for (int y = 9; y <= 21; y += 4) p.drawLine(QPointF(10, y), QPointF(22, y));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 200, 0));
  p.drawEllipse(QRectF(19, 21, 9, 9));
  return QIcon(pixmap);
}

}  // namespace

frmLOGO::frmLOGO(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmLOGO"));
  setVisible(false);
  setWindowIcon(ReceiptIcon());
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
