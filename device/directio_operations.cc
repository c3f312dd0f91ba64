// The DirectIO commands that reach the printer: cash drawer, printer logos, the customer
// display, reports to a file, totalizer reset, keyboard simulation, departments, the virtual
// ticket, the polling periods and the device flag. All run on the worker thread through the
// synchronous slot.
#include <string_view>
#include <vector>

#include "device/device_operations.h"
#include "device/directio_text.h"
#include "device/graphic_sender.h"
#include "device/parameter_text.h"
#include "device/report_files.h"
#include "imaging/graphic_download.h"
#include "opos/opos_constants.h"

namespace kelo::device {

using link::FpuProtocol;
using namespace opos;

namespace {

constexpr int32_t kTotalizerResetKind = 9;  // PrintDailyReport kind of the totalizer reset
constexpr int32_t kXReportToPc = 2;         // PrintDailyReport kind: X report data to the PC
constexpr int32_t kJournalPrint = 1;        // JournalReport destination: print
constexpr int32_t kJournalToPc = 2;         // JournalReport destination: the PC
constexpr int32_t kModeAppend = 0;
constexpr int32_t kModePrint = 2;  // journal report only
constexpr int32_t kReportDataSelector = kVirtualTicketSelector;

const char kDayOpenedText[] = "The Fiscal Printer has already begun the fiscal day";
const char kNotFiscalizedText[] = "The FPU is not fiscalized";

// Fields of a DirectIO parameter text; fields past the end read as empty.
std::vector<std::string> Split(const std::string& input, size_t count) {
  ParamFields f(input, count);
  std::vector<std::string> v;
  v.reserve(count);
  for (size_t i = 0; i < count; ++i) v.push_back(f.Text(i));
  return v;
}

int32_t Num(const std::vector<std::string>& f, size_t i) {
  return i < f.size() ? ParseNumber(f[i]) : 0;
}

// A report whose data the printer prepares with start and hands out with ReadReportLine 0.
class ProtocolReport : public ReportSource {
 public:
  ProtocolReport(FpuProtocol& protocol, const std::function<int32_t(FpuProtocol&)>& start)
      : protocol_(protocol), start_(start) {}
  int32_t Start() override { return start_(protocol_); }
  int32_t ReadPiece(int32_t* more, std::string* piece) override {
    return protocol_.ReadReportLine(kReportDataSelector, more, piece);
  }

 private:
  FpuProtocol& protocol_;
  const std::function<int32_t(FpuProtocol&)>& start_;
};

}  // namespace

// ---- Cash drawer ----

DeviceResult DeviceOperations::DoDrawerOpen(const std::string&, std::string&) {
  return Mapped(device_.WithProtocol([](FpuProtocol& e) { return e.OpenDrawer(); }));
}

// ---- Printer logos and display images ----

DeviceResult DeviceOperations::LoadGraphic(bool display, int32_t number, const std::string& path) {
  const ConfigRecord config = device_.Configuration();
  imaging::GraphicLimits limits;
  if (display) {
    limits = {config.display_image_width[0], config.display_image_width[1],
              config.display_image_height[0], config.display_image_height[1]};
  } else {
    limits = {config.printer_image_width[0], config.printer_image_width[1],
              config.printer_image_height[0], config.printer_image_height[1]};
  }
  std::string why;
  int32_t download = -1;
  const int32_t result = device_.WithProtocol([&](FpuProtocol& e) {
    FpuGraphicSender sender(e, display ? GraphicTarget::kDisplay : GraphicTarget::kPrinter);
    download = imaging::DownloadGraphic(sender, number, path, limits, &why);
    return download;
  });
  if (download == imaging::kPictureUnusable) {
    return {imaging::kPictureUnusable, 0, why.empty() ? "Cannot use the picture " + path : why};
  }
  return Mapped(result);
}

DeviceResult DeviceOperations::DoBmpLoad(const std::string& input, std::string&) {
  const auto f = Split(input, 2);
  return LoadGraphic(false, Num(f, 0), f[1]);
}

DeviceResult DeviceOperations::DoBmpErase(const std::string& input, std::string&) {
  const int32_t number = Num(Split(input, 1), 0);
  return Mapped(
      device_.WithProtocol([number](FpuProtocol& e) { return e.PrinterGraphicErase(number); }));
}

DeviceResult DeviceOperations::DoDisplaySetMode(const std::string& input, std::string&) {
  const int32_t mode = Num(Split(input, 1), 0);
  return Mapped(
      device_.WithProtocol([mode](FpuProtocol& e) { return e.DisplaySetVideoMode(mode); }));
}

DeviceResult DeviceOperations::DoDisplayClear(const std::string&, std::string&) {
  return Mapped(device_.WithProtocol([](FpuProtocol& e) { return e.DisplayClear(); }));
}

DeviceResult DeviceOperations::DoDisplayPrintText(const std::string& input, std::string&) {
  const auto f = Split(input, 2);
  const int32_t line = Num(f, 0);
  return Mapped(device_.WithProtocol([&](FpuProtocol& e) { return e.DisplayText(line, f[1]); }));
}

DeviceResult DeviceOperations::DoDisplayBmpLoad(const std::string& input, std::string&) {
  const auto f = Split(input, 2);
  return LoadGraphic(true, Num(f, 0), f[1]);
}

DeviceResult DeviceOperations::DoDisplayBmpErase(const std::string& input, std::string&) {
  const int32_t number = Num(Split(input, 1), 0);
  return Mapped(
      device_.WithProtocol([number](FpuProtocol& e) { return e.DisplayGraphicErase(number); }));
}

DeviceResult DeviceOperations::DoDisplayBmpShow(const std::string& input, std::string&) {
  const auto f = Split(input, 4);
  const int32_t x = Num(f, 0), y = Num(f, 1), number = Num(f, 2);
  return Mapped(device_.WithProtocol(
      [&](FpuProtocol& e) { return e.DisplayGraphicShow(x, y, f[3], number); }));
}

DeviceResult DeviceOperations::DoDisplayBmpNow(const std::string& input, std::string&) {
  const auto f = Split(input, 3);
  const int32_t x = Num(f, 0), y = Num(f, 1);
  DeviceResult loaded = LoadGraphic(true, directio::kImmediateImage, f[2]);
  if (!loaded.ok()) return loaded;
  return Mapped(device_.WithProtocol(
      [&](FpuProtocol& e) { return e.DisplayGraphicShow(x, y, "", directio::kImmediateImage); }));
}

DeviceResult DeviceOperations::DoDisplayStandbyText(const std::string& input, std::string&) {
  const auto f = Split(input, 1);
  return Mapped(device_.WithProtocol([&](FpuProtocol& e) { return e.DisplayStandbyText(f[0]); }));
}

DeviceResult DeviceOperations::DoDisplayStandbyBmp(const std::string& input, std::string&) {
  const auto f = Split(input, 4);
  const int32_t x = Num(f, 0), y = Num(f, 1), number = Num(f, 2);
  return Mapped(device_.WithProtocol(
      [&](FpuProtocol& e) { return e.DisplayStandbyGraphic(x, y, f[3], number); }));
}

// ---- Reports to a file ----

DeviceResult DeviceOperations::ReportToFile(int32_t mode, const std::string& path, bool skip_empty,
                                            const std::function<int32_t(FpuProtocol&)>& start) {
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  SetPrinterState(FPTR_PS_REPORT);
  ReportFileOptions options;
  options.temp_dir = report_temp_dir_;
  options.skip_when_empty = skip_empty;
  ReportFileOutcome outcome;
  bool ran = false;
  const int32_t result = device_.WithProtocol([&](FpuProtocol& e) {
    ran = true;
    ProtocolReport source(e, start);
    outcome = CollectReportToFile(
        source, path, mode == kModeAppend ? ReportFileMode::kAppend : ReportFileMode::kReplace,
        options);
    return outcome.link_result;
  });
  SetPrinterState(FPTR_PS_MONITOR);
  if (ran && outcome.file_code != 0) return {outcome.file_code, 0, outcome.file_text};
  return Mapped(result);
}

DeviceResult DeviceOperations::DoReportEj(const std::string& input, std::string&) {
  // destination, selection, type, two date records of eight fields, from, to, path.
  const auto f = Split(input, 22);
  if (device_.CopyStatus()[DeviceStatusBlock::kFiscalized] == 0) {
    return {OPOS_E_ILLEGAL, 0, kNotFiscalizedText};
  }
  const int32_t mode = Num(f, 0), selection = Num(f, 1), type = Num(f, 2);
  const link::FpuDateTime from = DateRecordAt(f, 3), to = DateRecordAt(f, 11);
  const int32_t first = Num(f, 19), last = Num(f, 20);
  auto journal = [=](int32_t destination) {
    return [=](FpuProtocol& e) {
      return e.JournalReport(destination, selection, type, from, to, first, last);
    };
  };
  if (mode == kModePrint) {
    if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
    SetPrinterState(FPTR_PS_REPORT);
    const int32_t result = device_.WithProtocol(journal(kJournalPrint));
    SetPrinterState(FPTR_PS_MONITOR);
    return Mapped(result);
  }
  return ReportToFile(mode, f[21], false, journal(kJournalToPc));
}

DeviceResult DeviceOperations::DoReportX(const std::string& input, std::string&) {
  const auto f = Split(input, 2);
  return ReportToFile(Num(f, 0), f[1], false,
                      [](FpuProtocol& e) { return e.PrintDailyReport("", kXReportToPc); });
}

DeviceResult DeviceOperations::DoReportRequest(const std::string& input, std::string&) {
  const auto f = Split(input, 3);
  const int32_t report = Num(f, 2);
  return ReportToFile(Num(f, 0), f[1], true,
                      [report](FpuProtocol& e) { return e.RequestedReport(report); });
}

// ---- Totalizers, keys, device flag, virtual ticket, polling ----

DeviceResult DeviceOperations::DoResetTotalizers(const std::string& input, std::string&) {
  if (DeviceResult r = RequireState(FPTR_PS_MONITOR); !r.ok()) return r;
  const auto f = Split(input, 1);
  SetPrinterState(FPTR_PS_REPORT);
  const int32_t result = device_.WithProtocol(
      [&](FpuProtocol& e) { return e.PrintDailyReport(f[0], kTotalizerResetKind); });
  SetPrinterState(FPTR_PS_MONITOR);
  return Mapped(result);
}

DeviceResult DeviceOperations::DoSimulateKeyboard(const std::string& input, std::string&) {
  std::vector<int32_t> keys;
  std::string why;
  if (!ParseKeyList(Split(input, 1)[0], &keys, &why)) return {OPOS_E_ILLEGAL, 0, why};
  // An empty list is the link's to refuse (it sends nothing).
  return Mapped(device_.WithProtocol([&](FpuProtocol& e) { return e.SimulateKey(keys); }));
}

DeviceResult DeviceOperations::DoSetDeviceFlag(const std::string&, std::string& output) {
  output.clear();
  DeviceResult r = Mapped(device_.SetDeviceFlag(1));
  if (r.ok()) AppendTextField(&output, "");
  return r;
}

DeviceResult DeviceOperations::DoGetVirtualTicket(const std::string&, std::string& output) {
  std::string ticket;
  DeviceResult r = Mapped(device_.ReadVirtualTicket(&ticket));
  output.clear();
  if (r.ok()) AppendTextField(&output, ticket);
  return r;
}

DeviceResult DeviceOperations::DoSetPollingTime(const std::string& input, std::string& output) {
  output.clear();
  const auto f = Split(input, 4);
  if (Num(f, 0) != 1) {
    AppendTextField(&output, "");
    return {};
  }
  const int32_t periods[3] = {Num(f, 1), Num(f, 2), Num(f, 3)};
  for (int32_t p : periods) {
    if (p < -1) return {OPOS_E_ILLEGAL, 0, "Invalid polling time " + std::to_string(p)};
  }
  if (!polling_handler_) return {OPOS_E_FAILURE, 0, "The polling periods cannot be changed"};
  polling_handler_(periods[0], periods[1], periods[2]);
  AppendTextField(&output, "");
  return {};
}

// ---- Departments ----

DeviceResult DeviceOperations::DoDepartmentConfig(const std::string& input, std::string& output) {
  output.clear();
  const auto f = Split(input, 2);
  const ConfigRecord config = device_.Configuration();
  const int32_t default_vat = config.default_vat_index;

  if (Num(f, 0) != 0) {
    if (host_.GetNumberProperty(PIDX_DayOpened) != 0) return {OPOS_E_ILLEGAL, 0, kDayOpenedText};
    std::vector<DepartmentLink> links;
    std::string why;
    if (!ParseDepartmentLinks(f[1], &links, &why)) return {OPOS_E_ILLEGAL, 0, why};
    std::string malformed;
    const int32_t result = device_.WithProtocol([&](FpuProtocol& e) {
      std::vector<link::FpuParameterQuery> queries;
      for (const DepartmentLink& l : links) {
        queries.push_back({directio::kDepartmentParameter, std::to_string(l.department)});
      }
      std::vector<std::string> records;
      int32_t r = e.ReadParameters(queries, &records);
      if (r != link::LINK_OK) return r;
      if (records.size() != links.size()) {
        malformed = "The printer did not return every department record";
        return link::LINK_E_PROTOCOL;
      }
      std::vector<std::string> updated(links.size());
      for (size_t i = 0; i < links.size(); ++i) {
        const int32_t vat = links[i].vat_link == 0 ? default_vat : links[i].vat_link;
        if (!ReplaceDepartmentRecordVat(records[i], vat, &updated[i])) {
          malformed = "The record of department " + std::to_string(links[i].department) +
                      " has no VAT field";
          return link::LINK_E_PROTOCOL;
        }
      }
      e.ClearPendingParameters();
      for (size_t i = 0; i < links.size(); ++i) {
        e.AddPendingParameter(directio::kDepartmentParameter, std::to_string(links[i].department),
                              updated[i]);
      }
      return e.FlushPendingParameters();
    });
    if (!malformed.empty()) return {OPOS_E_ILLEGAL, 0, malformed};
    return Mapped(result);
  }

  std::vector<DepartmentLink> links;
  const int32_t result = device_.WithProtocol([&](FpuProtocol& e) {
    std::vector<link::FpuParameterQuery> queries;
    for (int32_t d = 1; d <= config.num_departments; ++d) {
      queries.push_back({directio::kDepartmentParameter, std::to_string(d)});
    }
    std::vector<std::string> records;
    const int32_t r = e.ReadParameters(queries, &records);
    if (r != link::LINK_OK) return r;
    if (records.size() != queries.size()) return link::LINK_E_PROTOCOL;
    for (size_t i = 0; i < records.size(); ++i) {
      const int32_t vat = DepartmentRecordVat(records[i]);
      links.push_back({static_cast<int32_t>(i + 1), vat == default_vat ? 0 : vat});
    }
    return link::LINK_OK;
  });
  DeviceResult r = Mapped(result);
  if (r.ok()) AppendTextField(&output, FormatDepartmentLinks(links));
  return r;
}

}  // namespace kelo::device
