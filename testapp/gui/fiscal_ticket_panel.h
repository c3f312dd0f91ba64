// frmFiscalTicket ("Fiscal Receipt"): builds a fiscal receipt one call at a time (begin,
// items, adjustments, refunds, voids, subtotal, total, end) and sets the receipt options
// (asynchronous mode, idle notification, duplicate receipt, refund receipts). After each
// successful line it refreshes the running total from the device.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

#include "testapp/gui/panel_host.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace kelo::testapp {

class frmFiscalTicket : public QWidget {
  Q_OBJECT
 public:
  explicit frmFiscalTicket(PanelHost& host, QWidget* parent = nullptr);

  // VatInfo of the item calls: the VAT list index, or in department mode the department
  // list index + 10001.
  int32_t VatInfo() const;
  int item_counter() const { return item_counter_; }
  int32_t last_result() const { return last_result_; }

  // Buttons.
  void BeginFiscalReceipt();
  void PrintRecItem();
  void PrintRecItemX();
  void PrintRecItemVoid();
  void ItemAdjustment();
  void PrintRecItemAdjustmentVoid();
  void PrintRecRefund();
  void PrintRecRefundVoid();
  void PrintRecMessage();
  void PrintRecNotPaid();
  void PrintRecSubtotal();
  void SubtotalAdjustment();
  void SubtotalAdjustmentVoid();
  void PrintRecTotal();
  void PrintRecVoid();
  void EndFiscalReceipt();
  void PrintDuplicateReceipt();
  void ClearOutput();

  // One tick of the total refresh (tmrUpdateReceiptTotal).
  void tmrUpdateReceiptTotal_Timer();

 private:
  void StartTotalRefresh();
  // UpdateStatus, then the total refresh when the line succeeded.
  void AfterLine(int32_t result, bool refresh);
  control::Currency Amount(const QLineEdit* field) const;
  std::string Description() const;  // expanded item description
  std::string CountedDescription() const;
  int32_t AdjustmentType() const;
  std::string SettingsText(const char* name) const;

  PanelHost& host_;
  int item_counter_ = 0;
  int32_t last_result_ = 0;

  QLineEdit* txtItemName_;
  QLineEdit* txtItemAmount_;
  QLineEdit* txtItemQty_;
  QLineEdit* txtItemUnitPrice_;
  QLineEdit* txtUnitName_;
  QLineEdit* txtAdjustmentAmount_;
  QComboBox* cbAdjustmentType_;
  QComboBox* cbVatId_;
  QLabel* lblVatId_;
  QComboBox* cbDeptId_;
  QLabel* lblDeptId_;
  QCheckBox* chkDeptSelect_;
  QLineEdit* txtRecMessage_;
  QLineEdit* txtNotPaidDesc_;
  QLineEdit* txtTicketTotal_;
  QLineEdit* txtPayment_;
  QComboBox* cbPaymentForm_;
  QCheckBox* chkBegFiscalHeader_;
  QCheckBox* chkReceiptRefund_;
  QLineEdit* txtPraticadiReso_;
  QLineEdit* txtPrintRecRpt_;
  QCheckBox* chkAsyncMode_;
  QCheckBox* chkFlagWhenIdle_;
  QCheckBox* chkDupReceipt_;
  QTimer* tmrUpdateReceiptTotal_;
};

}  // namespace kelo::testapp
