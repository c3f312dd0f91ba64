// frmDirectIO ("DirectIO"): sends the device's vendor commands through the FiscalPrinter
// DirectIO method: cash drawer, printer logos, customer display, electronic-journal and file
// reports, totalizer reset, keyboard simulation, department/VAT links and the polling time.
// Every send is logged by the wrapper with the command's name and followed by UpdateStatus.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "testapp/gui/panel_host.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kelo::testapp {

class frmDirectIO : public QWidget {
  Q_OBJECT
 public:
  using Data = std::array<int32_t, 11>;

  explicit frmDirectIO(PanelHost& host, QWidget* parent = nullptr);

  // What the last send passed (after the call: the values the device returned).
  int32_t last_command() const { return last_command_; }
  const Data& last_data() const { return last_data_; }
  const std::string& last_text() const { return last_text_; }

  // "YYYYMMDD" of the EJ start or end fields as the number year * 10000 + month * 100 + day.
  int32_t EjDate(bool start) const;

 private:
  // Builds the call, sends it through the wrapper and runs UpdateStatus.
  void Send(int32_t command, Data data, std::string text = {});
  QWidget* BuildGenericTab();
  QWidget* BuildReportsTab();
  QWidget* BuildDisplayTab();
  QWidget* BuildPrinterTab();
  QWidget* BuildSettingsTab();
  // A folder button, a picture list and its preview; a click on a file writes its path into
  // `target`.
  QWidget* BuildPictureBrowser(const char* list_name, const char* image_name,
                               const char* folder_name, QLineEdit* target);

  PanelHost& host_;
  int32_t last_command_ = 0;
  Data last_data_{};
  std::string last_text_;

  QTabWidget* SSTabDirectIO_;
  QLabel* lblDirGetDrawer_ = nullptr;
  QPlainTextEdit* txtDirectIoDebugTest_ = nullptr;
  QLineEdit* txtDeptVatLinks_ = nullptr;
  QLineEdit* ej_start_[3] = {};
  QLineEdit* ej_end_[3] = {};
};

// A whole number from a field as the panel reads it: its leading number, 0 for other text.
int32_t FieldValue(const QLineEdit* field);
// A field read as a hexadecimal number ("30" gives 48, "1F" gives 31); 0 when it is none.
int32_t HexFieldValue(const QLineEdit* field);

}  // namespace kelo::testapp
