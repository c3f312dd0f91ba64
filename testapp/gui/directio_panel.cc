#include "testapp/gui/directio_panel.h"

#include <QDate>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "testapp/core/app_folder.h"
#include "testapp/gui/esc_sequences_dialog.h"
#include "testapp/gui/panel_widgets.h"
#include "testapp/macro/macro_conversions.h"

namespace kelo::testapp {

namespace {

const QStringList kStations = {QStringLiteral("FPTR_S_RECEIPT"), QStringLiteral("FPTR_S_JOURNAL"),
                               QStringLiteral("FPTR_S_JOURNAL_RECEIPT")};
const QStringList kWriteModes = {QStringLiteral("Write file in append"),
                                 QStringLiteral("Create or rewrite")};

}  // namespace

int32_t FieldValue(const QLineEdit* field) {
  return macro::WholeNumber(field->text().toStdString()).value_or(0);
}

int32_t HexFieldValue(const QLineEdit* field) {
  bool ok = false;
  const qlonglong value = field->text().trimmed().toLongLong(&ok, 16);
  if (!ok || value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int32_t>(value);
}

frmDirectIO::frmDirectIO(PanelHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmDirectIO"));
  auto* layout = new QVBoxLayout(this);
  SSTabDirectIO_ = new QTabWidget(this);
  SSTabDirectIO_->setObjectName(QStringLiteral("SSTabDirectIO"));
  SSTabDirectIO_->addTab(BuildGenericTab(), QStringLiteral("DirectIO - Generic"));
  SSTabDirectIO_->addTab(BuildReportsTab(), QStringLiteral("DirectIO - Reports"));
  SSTabDirectIO_->addTab(BuildDisplayTab(), QStringLiteral("DirectIO - Display"));
  SSTabDirectIO_->addTab(BuildPrinterTab(), QStringLiteral("DirectIO - Printer"));
  SSTabDirectIO_->addTab(BuildSettingsTab(), QStringLiteral("Settings"));
  layout->addWidget(SSTabDirectIO_);

  // This device refuses the deprecated commands; their buttons are not offered for it.
  if (host_.DeviceName() == QLatin1String("KeloFPU")) {
    // The inputs that only feed those buttons go with them.
    for (const char* name :
         {"cmdDirPrintBitmap", "cmdDirPrintBarcode", "cmdDirBeginCreditNote", "cmdDirEndCreditNote",
          "txtCreditNoteNumber", "cbDirBmpPrintStations", "txtDirBmpPrintMode", "txtDirBmpPrintID",
          "cbDirBarcodePrintStations", "cbDirBarcodeType", "edtBarcode"}) {
      if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) w->setVisible(false);
    }
  }
}

void frmDirectIO::Send(int32_t command, Data data, std::string text) {
  host_.Wrapper().DirectIO(command, data, text);
  last_command_ = command;
  last_data_ = data;
  last_text_ = text;
  host_.UpdateStatus();
}

QWidget* frmDirectIO::BuildGenericTab() {
  auto* tab = new QWidget(this);
  auto* grid = new QGridLayout(tab);
  int row = 0;

  auto* open = NewButton("cmdDirOpenDrawer", QStringLiteral("OpenDrawer"), tab);
  auto* get = NewButton("cmdDirGetDrawer", QStringLiteral("GetDrawer"), tab);
  lblDirGetDrawer_ = NewLabel(QStringLiteral("n.a."), tab, "lblDirGetDrawer");
  grid->addWidget(open, row, 0);
  grid->addWidget(get, row, 1);
  grid->addWidget(lblDirGetDrawer_, row++, 2);
  connect(open, &QPushButton::clicked, this, [this] { Send(1000, {}); });
  connect(get, &QPushButton::clicked, this, [this] {
    Send(1001, {});
    // Written even when the call failed: the data then stays 0, which reads "Closed".
    lblDirGetDrawer_->setText(last_data_[0] == 1 ? QStringLiteral("Opened")
                                                 : QStringLiteral("Closed"));
  });

  auto* resetText = NewEdit("txtAdditionalResetTotalizers", QString(), tab);
  auto* reset = NewButton("cmdDirResetTotalizers", QStringLiteral("ResetTotalizers"), tab);
  grid->addWidget(reset, row, 0);
  grid->addWidget(resetText, row++, 1, 1, 2);
  connect(reset, &QPushButton::clicked, this,
          [this, resetText] { Send(1600, {}, Utf8(resetText)); });

  auto* keys = NewEdit("txtSimKeys", QStringLiteral("49,48,48,65,102"), tab);
  auto* simulate = NewButton("cmdDirSimulateKeys", QStringLiteral("SimulateKeys"), tab);
  grid->addWidget(simulate, row, 0);
  grid->addWidget(keys, row++, 1, 1, 2);
  connect(simulate, &QPushButton::clicked, this, [this, keys] { Send(9000, {}, Utf8(keys)); });

  auto* polling = NewEdit("txtPollingTime", QStringLiteral("1000"), tab);
  auto* setPolling = NewButton("cmdDirSetPollingTime", QStringLiteral("SetPollingTime"), tab);
  grid->addWidget(setPolling, row, 0);
  grid->addWidget(NewLabel(QStringLiteral("Time in millisecs"), tab), row, 1);
  grid->addWidget(polling, row++, 2);
  connect(setPolling, &QPushButton::clicked, this, [this, polling] {
    Send(9003, {1, FieldValue(polling), -1, -1});
  });

  auto* creditNumber = NewEdit("txtCreditNoteNumber", QStringLiteral("123456"), tab);
  auto* beginCredit =
      NewButton("cmdDirBeginCreditNote", QStringLiteral("BeginCreditNote (deprecated)"), tab);
  auto* endCredit =
      NewButton("cmdDirEndCreditNote", QStringLiteral("EndCreditNote (deprecated)"), tab);
  grid->addWidget(beginCredit, row, 0);
  grid->addWidget(creditNumber, row, 1);
  grid->addWidget(endCredit, row++, 2);
  connect(beginCredit, &QPushButton::clicked, this, [this, creditNumber] {
    host_.Wrapper().SetAdditionalHeader("Test Addit. CCNOTA!");
    Send(1400, {}, Utf8(creditNumber));
  });
  connect(endCredit, &QPushButton::clicked, this, [this] { Send(1401, {}); });

  auto* ticket = NewButton("cmd_Debug_Test", QStringLiteral("GetVirtualTicket"), tab);
  txtDirectIoDebugTest_ = new QPlainTextEdit(tab);
  txtDirectIoDebugTest_->setObjectName(QStringLiteral("txtDirectIoDebugTest"));
  txtDirectIoDebugTest_->setReadOnly(true);
  QFont mono(QStringLiteral("Courier New"));
  mono.setStyleHint(QFont::Monospace);
  txtDirectIoDebugTest_->setFont(mono);
  grid->addWidget(ticket, row++, 0);
  grid->addWidget(txtDirectIoDebugTest_, row++, 0, 1, 3);
  connect(ticket, &QPushButton::clicked, this, [this] {
    Send(9002, {});
    txtDirectIoDebugTest_->setPlainText(QString::fromStdString(last_text_));
  });
  grid->setRowStretch(row - 1, 1);
  return tab;
}

int32_t frmDirectIO::EjDate(bool start) const {
  QLineEdit* const* f = start ? ej_start_ : ej_end_;
  return FieldValue(f[0]) * 10000 + FieldValue(f[1]) * 100 + FieldValue(f[2]);
}

QWidget* frmDirectIO::BuildReportsTab() {
  auto* tab = new QWidget(this);
  auto* layout = new QVBoxLayout(tab);

  auto* ej = new QGroupBox(QStringLiteral("EJ Report"), tab);
  ej->setObjectName(QStringLiteral("fraEJReport"));
  auto* g = new QGridLayout(ej);
  auto* fileMode =
      NewCombo("cbDirReportFileMode",
               kWriteModes + QStringList{QStringLiteral("No file, output to FPU")}, ej);
  auto* ejMode = NewCombo("cbDirReportEJMode",
                          {QStringLiteral("Entire EJ"), QStringLiteral("For date"),
                           QStringLiteral("For number"), QStringLiteral("Current day")},
                          ej);
  auto* ejType =
      NewCombo("cbDirReportEJType",
               {QStringLiteral("AllReports"), QStringLiteral("Z-Closure number"),
                QStringLiteral("Fiscal ticket number"), QStringLiteral("Non-Fiscal ticket number"),
                QStringLiteral("Credit note number")},
               ej);
  g->addWidget(fileMode, 0, 0);
  g->addWidget(ejMode, 0, 1);
  g->addWidget(ejType, 0, 2);
  const char* startNames[3] = {"txtDirReportEJStartYear", "txtDirReportEJStartMonth",
                               "txtDirReportEJStartDay"};
  const char* endNames[3] = {"txtDirReportEJEndYear", "txtDirReportEJEndMonth",
                             "txtDirReportEJEndDay"};
  const QString defaults[3] = {QStringLiteral("2007"), QStringLiteral("12"), QStringLiteral("12")};
  g->addWidget(NewLabel(QStringLiteral("Start date YYYYMMDD"), ej), 1, 0);
  g->addWidget(NewLabel(QStringLiteral("End date YYYYMMDD"), ej), 2, 0);
  for (int i = 0; i < 3; ++i) {
    ej_start_[i] = NewEdit(startNames[i], defaults[i], ej);
    ej_end_[i] = NewEdit(endNames[i], defaults[i], ej);
    g->addWidget(ej_start_[i], 1, 1 + i);
    g->addWidget(ej_end_[i], 2, 1 + i);
  }
  OnDoubleClick(ej_start_[0], [this] {
    const QDate today = QDate::currentDate();
    const QString parts[3] = {today.toString(QStringLiteral("yyyy")),
                              today.toString(QStringLiteral("MM")),
                              today.toString(QStringLiteral("dd"))};
    for (int i = 0; i < 3; ++i) {
      ej_start_[i]->setText(parts[i]);
      ej_end_[i]->setText(parts[i]);
    }
  });
  auto* startNum = NewEdit("txtDirReportEJStartNum", QStringLiteral("1"), ej);
  auto* endNum = NewEdit("txtDirReportEJEndNum", QStringLiteral("1"), ej);
  g->addWidget(NewLabel(QStringLiteral("Start / end number"), ej), 3, 0);
  g->addWidget(startNum, 3, 1);
  g->addWidget(endNum, 3, 2);
  auto* ejFile = NewEdit("txtDirReportEJFileName", QStringLiteral("reportEJ.txt"), ej);
  auto* ejBrowse = NewButton("cmdDirReportEJBrowse", QStringLiteral("..."), ej);
  auto* ejSend = NewButton("cmdDirReportEJ", QStringLiteral("EJ Report"), ej);
  g->addWidget(ejFile, 4, 0, 1, 2);
  g->addWidget(ejBrowse, 4, 2);
  g->addWidget(ejSend, 4, 3);
  layout->addWidget(ej);
  connect(ejSend, &QPushButton::clicked, this,
          [this, fileMode, ejMode, ejType, startNum, endNum, ejFile] {
            Send(1500,
                 {fileMode->currentIndex(), ejMode->currentIndex(), ejType->currentIndex(),
                  EjDate(true), EjDate(false), FieldValue(startNum), FieldValue(endNum)},
                 Utf8(ejFile));
          });

  auto* x = new QGroupBox(QStringLiteral("X Report"), tab);
  x->setObjectName(QStringLiteral("fraXReport"));
  auto* xg = new QHBoxLayout(x);
  auto* xMode = NewCombo("cbDirReportZFileMode", kWriteModes, x);
  auto* xFile = NewEdit("txtDirReportZFile", QStringLiteral("reportZ.txt"), x);
  auto* xBrowse = NewButton("cmdDirReportZBrowse", QStringLiteral("..."), x);
  auto* xSend = NewButton("cmdDirReportX", QStringLiteral("X Report"), x);
  xg->addWidget(xMode);
  xg->addWidget(xFile, 1);
  xg->addWidget(xBrowse);
  xg->addWidget(xSend);
  layout->addWidget(x);
  connect(xSend, &QPushButton::clicked, this,
          [this, xMode, xFile] { Send(1501, {xMode->currentIndex()}, Utf8(xFile)); });

  auto* onFile = new QGroupBox(QStringLiteral("ReportOnFile"), tab);
  onFile->setObjectName(QStringLiteral("fraReportOnFile"));
  auto* og = new QHBoxLayout(onFile);
  auto* oMode = NewCombo("cbDirReportOnFileMode", kWriteModes, onFile);
  auto* oType = NewEdit("txtDirReportOFType", QStringLiteral("20"), onFile);
  oType->setMaximumWidth(60);
  auto* oFile = NewEdit("txtDirReportOFFile", QStringLiteral("report.txt"), onFile);
  auto* oBrowse = NewButton("cmdDirReportOFBrowse", QStringLiteral("..."), onFile);
  auto* oSend = NewButton("cmdDirReportOnFile", QStringLiteral("ReportOnFile"), onFile);
  og->addWidget(oMode);
  og->addWidget(oType);
  og->addWidget(oFile, 1);
  og->addWidget(oBrowse);
  og->addWidget(oSend);
  layout->addWidget(onFile);
  connect(oSend, &QPushButton::clicked, this, [this, oMode, oType, oFile] {
    Send(1502, {oMode->currentIndex(), FieldValue(oType)}, Utf8(oFile));
  });
  layout->addStretch();
  // The "..." buttons have no action: the names are typed.
  return tab;
}

QWidget* frmDirectIO::BuildPictureBrowser(const char* list_name, const char* image_name,
                                          const char* folder_name, QLineEdit* target) {
  auto* box = new QWidget(this);
  auto* layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* left = new QVBoxLayout();
  auto* folder = NewButton(folder_name, QStringLiteral("Folder"), box);
  auto* list = new QListWidget(box);
  list->setObjectName(QString::fromLatin1(list_name));
  list->setMaximumHeight(110);
  left->addWidget(folder);
  left->addWidget(list);
  auto* image = NewLabel(QString(), box, image_name);
  image->setFixedSize(160, 110);
  image->setFrameShape(QFrame::Box);
  image->setAlignment(Qt::AlignCenter);
  layout->addLayout(left, 1);
  layout->addWidget(image);

  // The list shows the pictures of one folder; it starts in the program's own folder.
  auto fill = [list](const QString& path) {
    list->clear();
    list->setProperty("folder", path);
    const QStringList files = QDir(path).entryList(
        {QStringLiteral("*.gif"), QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
    list->addItems(files);
  };
  fill(QString::fromStdString(AppFolder()));
  connect(folder, &QPushButton::clicked, this, [this, fill] {
    const std::string chosen = host_.Dialogs().BrowseForFolderDialog("Select the picture folder");
    if (!chosen.empty()) fill(QString::fromStdString(chosen));
  });
  connect(list, &QListWidget::itemClicked, this, [list, image, target](QListWidgetItem* item) {
    const QString path = QDir(list->property("folder").toString()).filePath(item->text());
    const QPixmap picture(path);
    image->setPixmap(picture.isNull() ? QPixmap()
                                      : picture.scaled(image->size(), Qt::KeepAspectRatio));
    target->setText(path);
  });
  return box;
}

QWidget* frmDirectIO::BuildDisplayTab() {
  auto* tab = new QWidget(this);
  auto* grid = new QGridLayout(tab);
  int row = 0;

  auto* videoMode = NewCombo("cbVideoMode",
                             {QStringLiteral("2x20"), QStringLiteral("3x22"),
                              QStringLiteral("1x9 + 1x22"), QStringLiteral("1x10 + 1x22")},
                             tab);
  auto* setMode = NewButton("cmdDirSetVideoMode", QStringLiteral("SetVideoMode"), tab);
  auto* clear = NewButton("cmdDirClearDisplay", QStringLiteral("ClearDisplay"), tab);
  grid->addWidget(videoMode, row, 0);
  grid->addWidget(setMode, row, 1);
  grid->addWidget(clear, row++, 2);
  connect(setMode, &QPushButton::clicked, this,
          [this, videoMode] { Send(1300, {videoMode->currentIndex() + 1}); });
  connect(clear, &QPushButton::clicked, this, [this] { Send(1301, {}); });

  auto* ptRow = NewEdit("txtDyPtRow", QStringLiteral("1"), tab);
  auto* ptText = NewEdit("txtDirPtString", QStringLiteral("This is a test"), tab);
  auto* print = NewButton("cmdDirPrintText", QStringLiteral("PrintText"), tab);
  grid->addWidget(ptRow, row, 0);
  grid->addWidget(ptText, row, 1);
  grid->addWidget(print, row++, 2);
  connect(print, &QPushButton::clicked, this,
          [this, ptRow, ptText] { Send(1302, {FieldValue(ptRow)}, Utf8(ptText)); });

  auto* loadId = NewEdit("txtDirDyBmpLoadID", QStringLiteral("1"), tab);
  auto* loadFile = NewEdit("txtDirDyBmpLoadFileName", QString(), tab);
  auto* load = NewButton("cmdDirDisplayBitmapLoad", QStringLiteral("DisplayBitmapLoad"), tab);
  grid->addWidget(loadId, row, 0);
  grid->addWidget(loadFile, row, 1);
  grid->addWidget(load, row++, 2);
  connect(load, &QPushButton::clicked, this,
          [this, loadId, loadFile] { Send(1303, {FieldValue(loadId)}, Utf8(loadFile)); });
  grid->addWidget(BuildPictureBrowser("filelistDisplayIcon", "imgDisplayIcons",
                                      "cmdDisplayIconFolder", loadFile),
                  row++, 0, 1, 3);

  auto* eraseId = NewEdit("txtDirDyBmpEraseID", QStringLiteral("1"), tab);
  auto* erase = NewButton("cmdDirDisplayEraseBitmap", QStringLiteral("EraseBitmap"), tab);
  grid->addWidget(eraseId, row, 0);
  grid->addWidget(erase, row++, 2);
  connect(erase, &QPushButton::clicked, this,
          [this, eraseId] { Send(1304, {FieldValue(eraseId)}); });

  auto xyRow = [&](const char* prefix, bool withId, const char* escName) {
    auto* h = new QHBoxLayout();
    QLineEdit* x = NewEdit(qPrintable(QString::fromLatin1(prefix) + QStringLiteral("X")),
                           QStringLiteral("0"), tab);
    QLineEdit* y = NewEdit(qPrintable(QString::fromLatin1(prefix) + QStringLiteral("Y")),
                           QStringLiteral("0"), tab);
    QLineEdit* id = withId ? NewEdit(qPrintable(QString::fromLatin1(prefix) + QStringLiteral("ID")),
                                     QStringLiteral("1"), tab)
                           : nullptr;
    QLineEdit* esc = NewEdit(escName, QString(), tab);
    h->addWidget(NewLabel(QStringLiteral("X"), tab));
    h->addWidget(x);
    h->addWidget(NewLabel(QStringLiteral("Y"), tab));
    h->addWidget(y);
    if (id) {
      h->addWidget(NewLabel(QStringLiteral("#"), tab));
      h->addWidget(id);
    }
    h->addWidget(esc, 2);
    grid->addLayout(h, row, 0, 1, 2);
    struct Fields {
      QLineEdit* x;
      QLineEdit* y;
      QLineEdit* id;
      QLineEdit* text;
    };
    return Fields{x, y, id, esc};
  };
  auto show = xyRow("txtDirDyBmpShow", true, "txtDirDyBmpShowESC");
  auto* showButton = NewButton("cmdDirDisplayBitmapShow", QStringLiteral("DisplayBitmapShow"), tab);
  grid->addWidget(showButton, row++, 2);
  connect(showButton, &QPushButton::clicked, this, [this, show] {
    Send(1305, {FieldValue(show.x), FieldValue(show.y), FieldValue(show.id)}, Utf8(show.text));
  });
  // A double click opens the escape-sequence generator beside the panel.
  OnDoubleClick(show.text, [this] {
    auto* generator = new frmEscSequences(this);
    generator->setAttribute(Qt::WA_DeleteOnClose);
    generator->setModal(false);
    generator->show();
  });

  auto now = xyRow("txtDirDyBmpNow", false, "txtDirDyBmpNowFileName");
  auto* nowButton = NewButton("cmdDirDisplayBitmapNow", QStringLiteral("DisplayBitmapNow"), tab);
  grid->addWidget(nowButton, row++, 2);
  connect(nowButton, &QPushButton::clicked, this, [this, now] {
    Send(1306, {FieldValue(now.x), FieldValue(now.y)}, Utf8(now.text));
  });

  auto* sbyText = NewEdit("txtDirDySbyText", QStringLiteral("This is a test"), tab);
  auto* sbyTextButton = NewButton("cmdDirStandbyText", QStringLiteral("StandbyText"), tab);
  grid->addWidget(sbyText, row, 0, 1, 2);
  grid->addWidget(sbyTextButton, row++, 2);
  connect(sbyTextButton, &QPushButton::clicked, this,
          [this, sbyText] { Send(1307, {}, Utf8(sbyText)); });

  auto sby = xyRow("txtDirDyBmpSby", true, "txtDirDyBmpSbyESC");
  auto* sbyButton = NewButton("cmdDirStandbyBitmap", QStringLiteral("StandbyBitmap"), tab);
  grid->addWidget(sbyButton, row++, 2);
  connect(sbyButton, &QPushButton::clicked, this, [this, sby] {
    Send(1308, {FieldValue(sby.x), FieldValue(sby.y), FieldValue(sby.id)}, Utf8(sby.text));
  });
  grid->setRowStretch(row, 1);
  return tab;
}

QWidget* frmDirectIO::BuildPrinterTab() {
  auto* tab = new QWidget(this);
  auto* grid = new QGridLayout(tab);
  int row = 0;

  auto* loadId = NewEdit("txtLoadBmpID", QStringLiteral("1"), tab);
  auto* loadFile = NewEdit("txtLoadBmpFileName", QString(), tab);
  auto* load = NewButton("cmdDirLoadBitmap", QStringLiteral("LoadBitmap"), tab);
  grid->addWidget(loadId, row, 0);
  grid->addWidget(loadFile, row, 1);
  grid->addWidget(load, row++, 2);
  connect(load, &QPushButton::clicked, this,
          [this, loadId, loadFile] { Send(1100, {FieldValue(loadId)}, Utf8(loadFile)); });
  grid->addWidget(
      BuildPictureBrowser("filelistTicketIcon", "imgTicketIcons", "cmdTicketIconFolder", loadFile),
      row++, 0, 1, 3);

  auto* printStation = NewCombo("cbDirBmpPrintStations", kStations, tab);
  auto* printMode = NewEdit("txtDirBmpPrintMode", QStringLiteral("30"), tab);
  auto* printId = NewEdit("txtDirBmpPrintID", QStringLiteral("1"), tab);
  auto* print = NewButton("cmdDirPrintBitmap", QStringLiteral("PrintBitmap (deprecated)"), tab);
  auto* h = new QHBoxLayout();
  h->addWidget(printStation);
  h->addWidget(printMode);
  h->addWidget(printId);
  grid->addLayout(h, row, 0, 1, 2);
  grid->addWidget(print, row++, 2);
  connect(print, &QPushButton::clicked, this, [this, printStation, printMode, printId] {
    Send(1101, {printStation->currentIndex() + 1, HexFieldValue(printMode), FieldValue(printId)});
  });

  auto* eraseId = NewEdit("edtDirEraseBitmapID", QStringLiteral("1"), tab);
  auto* erase = NewButton("cmdDirEraseBitmap", QStringLiteral("EraseBitmap"), tab);
  grid->addWidget(eraseId, row, 0);
  grid->addWidget(erase, row++, 2);
  connect(erase, &QPushButton::clicked, this,
          [this, eraseId] { Send(1102, {FieldValue(eraseId)}); });

  auto* barStation = NewCombo("cbDirBarcodePrintStations", kStations, tab);
  auto* barType = NewCombo("cbDirBarcodeType",
                           {QStringLiteral("EAN13"), QStringLiteral("UPC"),
                            QStringLiteral("ITLV2of5"), QStringLiteral("CODE39")},
                           tab, /*editable=*/true);
  auto* barcode = NewEdit("edtBarcode", QStringLiteral("4007817504598"), tab);
  auto* barButton =
      NewButton("cmdDirPrintBarcode", QStringLiteral("PrintBarcode (deprecated)"), tab);
  auto* b = new QHBoxLayout();
  b->addWidget(barStation);
  b->addWidget(barType);
  b->addWidget(barcode, 1);
  grid->addLayout(b, row, 0, 1, 2);
  grid->addWidget(barButton, row++, 2);
  connect(barButton, &QPushButton::clicked, this, [this, barStation, barType, barcode] {
    Send(1200, {barStation->currentIndex() + 1, BarcodeTypeDigit(barType->currentText())},
         Utf8(barcode));
  });
  grid->setRowStretch(row, 1);
  return tab;
}

QWidget* frmDirectIO::BuildSettingsTab() {
  auto* tab = new QWidget(this);
  auto* grid = new QGridLayout(tab);
  txtDeptVatLinks_ = NewEdit("txtDeptVatLinks", QStringLiteral("1A,2B"), tab);
  auto* get = NewButton("cmdDirGetDeptVatLinks", QStringLiteral("Get Department/Vat Links"), tab);
  auto* set = NewButton("cmdDirSetDeptVatLinks", QStringLiteral("Set Department/Vat Links"), tab);
  grid->addWidget(txtDeptVatLinks_, 0, 0, 1, 2);
  grid->addWidget(get, 1, 0);
  grid->addWidget(set, 1, 1);
  grid->setRowStretch(2, 1);
  connect(get, &QPushButton::clicked, this, [this] {
    Send(9001, {0});
    txtDeptVatLinks_->setText(QString::fromStdString(last_text_));
  });
  connect(set, &QPushButton::clicked, this, [this] { Send(9001, {1}, Utf8(txtDeptVatLinks_)); });
  return tab;
}

}  // namespace kelo::testapp
