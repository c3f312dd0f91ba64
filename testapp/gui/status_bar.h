// frmStatusBar: the paper and cover indicators and the error labels along the bottom of the
// main window, and how a StatusUpdateEvent changes the indicators (its log text is the shared
// StatusUpdateLogText of testapp/core/device_session.h).
#pragma once

#include <QFrame>

class QLabel;

namespace kelo::testapp {

class IndicatorShape;

class frmStatusBar : public QFrame {
  Q_OBJECT
 public:
  explicit frmStatusBar(QWidget* parent = nullptr);

  // Changes the indicators as a StatusUpdateEvent with `data` asks.
  void ShowStatusUpdate(int data);
  // The three error labels.
  void ShowError(const QString& code, const QString& extended, const QString& description);

  IndicatorShape* shpPaperNearEmpty() const { return shpPaperNearEmpty_; }
  IndicatorShape* shpPaperOut() const { return shpPaperOut_; }
  IndicatorShape* shpCoverOpen() const { return shpCoverOpen_; }
  QLabel* lblPaperNearEmpty() const { return lblPaperNearEmpty_; }
  QLabel* lblPaperOut() const { return lblPaperOut_; }
  QLabel* lblCoverOpen() const { return lblCoverOpen_; }
  QLabel* lblErrorCode() const { return lblErrorCode_; }
  QLabel* lblErrorCodeExt() const { return lblErrorCodeExt_; }
  QLabel* lblErrorCodeDescription() const { return lblErrorCodeDescription_; }

 private:
  IndicatorShape* shpPaperNearEmpty_;
  IndicatorShape* shpPaperOut_;
  IndicatorShape* shpCoverOpen_;
  QLabel* lblPaperNearEmpty_;
  QLabel* lblPaperOut_;
  QLabel* lblCoverOpen_;
  QLabel* lblErrorCode_;
  QLabel* lblErrorCodeExt_;
  QLabel* lblErrorCodeDescription_;
};

}  // namespace kelo::testapp
