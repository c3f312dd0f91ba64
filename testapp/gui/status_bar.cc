#include "testapp/gui/status_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "opos/opos_constants.h"
#include "testapp/gui/indicator.h"

namespace kelo::testapp {

namespace {

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

// The error description: however long the text (a picture path, a printer message), it never
// asks the window for more width; what does not fit ends in "…" and the whole text is the
// tool tip. text() keeps the whole text.
class ElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
  QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
  }
};

}  // namespace

frmStatusBar::frmStatusBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("frmStatusBar"));
  setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 3, 6, 3);

  auto addIndicator = [&](const char* shapeName, const char* labelName, const QString& caption,
                          IndicatorShape** shape, QLabel** label) {
    *shape = new IndicatorShape(this);
    (*shape)->setObjectName(QString::fromLatin1(shapeName));
    *label = NewLabel(labelName, caption, this);
    (*label)->setMargin(2);
    SetIndicatorColour(*shape, kColourGreen);
    SetIndicatorColour(*label, kColourGreen);
    layout->addWidget(*shape);
    layout->addWidget(*label);
    layout->addSpacing(8);
  };
  addIndicator("shpPaperNearEmpty", "lblPaperNearEmpty", QStringLiteral("Paper Near Empty"),
               &shpPaperNearEmpty_, &lblPaperNearEmpty_);
  addIndicator("shpPaperOut", "lblPaperOut", QStringLiteral("Paper Out"), &shpPaperOut_,
               &lblPaperOut_);
  addIndicator("shpCoverOpen", "lblCoverOpen", QStringLiteral("Cover Open"), &shpCoverOpen_,
               &lblCoverOpen_);

  lblErrorCode_ = NewLabel("lblErrorCode", QString(), this);
  lblErrorCodeExt_ = NewLabel("lblErrorCodeExt", QString(), this);
  lblErrorCodeDescription_ = new ElidedLabel(this);
  lblErrorCodeDescription_->setObjectName(QStringLiteral("lblErrorCodeDescription"));
  lblErrorCodeDescription_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addSpacing(12);
  layout->addWidget(lblErrorCode_);
  layout->addSpacing(8);
  layout->addWidget(lblErrorCodeExt_);
  layout->addSpacing(8);
  layout->addWidget(lblErrorCodeDescription_, 1);
}

void frmStatusBar::ShowStatusUpdate(int data) {
  switch (data) {
    case opos::FPTR_SUE_COVER_OPEN:
      // Only the caption turns red; the shape keeps its colour.
      SetIndicatorColour(lblCoverOpen_, kColourRed);
      break;
    case opos::FPTR_SUE_COVER_OK:
      SetIndicatorColour(shpCoverOpen_, kColourGreen);
      SetIndicatorColour(lblCoverOpen_, kColourGreen);
      break;
    case opos::FPTR_SUE_REC_EMPTY:
      SetIndicatorColour(shpPaperOut_, kColourRed);
      SetIndicatorColour(lblPaperOut_, kColourRed);
      break;
    case opos::FPTR_SUE_REC_NEAREMPTY:
      SetIndicatorColour(shpPaperNearEmpty_, kColourRed);
      SetIndicatorColour(lblPaperNearEmpty_, kColourRed);
      break;
    case opos::FPTR_SUE_REC_PAPEROK:
      SetIndicatorColour(shpPaperOut_, kColourGreen);
      SetIndicatorColour(shpPaperNearEmpty_, kColourGreen);
      SetIndicatorColour(lblPaperOut_, kColourGreen);
      SetIndicatorColour(lblPaperNearEmpty_, kColourGreen);
      break;
    default:
      break;
  }
}

void frmStatusBar::ShowError(const QString& code, const QString& extended,
                             const QString& description) {
  lblErrorCode_->setText(code);
  lblErrorCodeExt_->setText(extended);
  lblErrorCodeDescription_->setText(description);
  lblErrorCodeDescription_->setToolTip(description);
}

}  // namespace kelo::testapp
