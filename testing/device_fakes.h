// Test doubles for the device layer: a scripted FiscalDevice that records every request,
// and a UnitHost with a property store and an event log.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/fiscal_device.h"
#include "device/unit_host.h"
#include "opos/opos_constants.h"
#include "platform/os/clock.h"
#include "testing/property_host.h"

namespace kelo::device::testing {

// Virtual time that also gives up the processor on every sleep, so a thread polling the
// clock lets the others run.
class YieldingClock : public platform::FakeClock {
 public:
  void SleepMs(uint32_t ms) override {
    FakeClock::SleepMs(ms);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
};

// Joins fields with '|' for compact expectations.
inline std::string Join(std::initializer_list<std::string> parts) {
  std::string s;
  for (const auto& p : parts) {
    if (!s.empty()) s += '|';
    s += p;
  }
  return s;
}
inline std::string N(int64_t v) {
  return std::to_string(v);
}

class FakeDevice : public FiscalDeviceBase {
 public:
  FakeDevice() {
    std::array<int32_t, 16> info1{};
    info1[0] = 4;   // VAT rates
    info1[1] = 10;  // departments
    info1[2] = 36;  // message length
    info1[8] = 6;   // header lines
    info1[9] = 3;   // trailer lines
    info1[11] = 3;  // payment lines
    StoreConfiguration(MakeConfigRecord(info1, {}, ""));
  }

  // ---- Script ----
  void SetOnline(bool on) {
    std::lock_guard<std::mutex> l(mu_);
    online_ = on;
  }
  void SetFlags(uint32_t flags, int32_t phase) {
    std::lock_guard<std::mutex> l(mu_);
    flags_ = flags;
    phase_ = phase;
  }
  void SetLastStatus(int32_t fatal, uint32_t status) {
    std::lock_guard<std::mutex> l(mu_);
    fatal_ = fatal;
    status_ = status;
  }
  // Every request named name answers result (0 removes the rule).
  void Fail(const std::string& name, int32_t result) {
    std::lock_guard<std::mutex> l(mu_);
    if (result == 0) {
      fail_.erase(name);
    } else {
      fail_[name] = result;
    }
  }
  void FailOnce(const std::string& name, int32_t result) {
    std::lock_guard<std::mutex> l(mu_);
    fail_once_[name] = result;
  }
  // Requests named name block until Release.
  void Hold(const std::string& name) {
    std::lock_guard<std::mutex> l(mu_);
    held_.insert(name);
  }
  void Release() {
    {
      std::lock_guard<std::mutex> l(mu_);
      held_.clear();
    }
    cv_.notify_all();
  }
  // Waits (real time, bounded) until a request named name is blocked in Hold.
  bool WaitHeld(const std::string& name) {
    std::unique_lock<std::mutex> l(mu_);
    return cv_.wait_for(l, std::chrono::seconds(5), [&] { return waiting_.count(name) != 0; });
  }
  void SetAmounts(int64_t total, int64_t remaining) {
    std::lock_guard<std::mutex> l(mu_);
    total_ = total;
    remaining_ = remaining;
  }
  void SetModel(const std::string& model, bool readable = true) {
    std::lock_guard<std::mutex> l(mu_);
    model_ = model;
    model_readable_ = readable;
  }
  void SetVatRate(int32_t index, int32_t rate) {
    std::lock_guard<std::mutex> l(mu_);
    rates_[index] = rate;
  }
  void SetZReport(int64_t v0, int64_t v1, double amount) {
    std::lock_guard<std::mutex> l(mu_);
    z_values_ = {v0, v1};
    z_amount_ = amount;
  }

  // ---- Inspection ----
  // Requests other than probes, in order.
  std::vector<std::string> Log() {
    std::lock_guard<std::mutex> l(mu_);
    return log_;
  }
  void ClearLog() {
    std::lock_guard<std::mutex> l(mu_);
    log_.clear();
  }
  int probes() {
    std::lock_guard<std::mutex> l(mu_);
    return probes_;
  }
  std::thread::id last_thread() {
    std::lock_guard<std::mutex> l(mu_);
    return last_thread_;
  }
  bool opened() {
    std::lock_guard<std::mutex> l(mu_);
    return opened_;
  }

  // ---- FiscalDevice ----
  int32_t Open() override {
    std::lock_guard<std::mutex> l(mu_);
    opened_ = true;
    return 0;
  }
  void Close() override {
    std::lock_guard<std::mutex> l(mu_);
    opened_ = false;
  }
  int32_t ReadConfiguration(ConfigRecord* out) override {
    int32_t r = Call("ReadConfiguration");
    if (r == 0 && out) *out = Configuration();
    return r;
  }
  int32_t Probe() override {
    bool online;
    uint32_t flags;
    int32_t phase;
    {
      std::lock_guard<std::mutex> l(mu_);
      ++probes_;
      online = online_;
      flags = flags_;
      phase = phase_;
    }
    if (!online) {
      StoreProbeUnanswered();
      return 106;
    }
    StoreProbeAnswer(flags, phase);
    RefreshStatus();
    return 0;
  }
  void RefreshStatus() override {
    int32_t fatal;
    uint32_t status;
    {
      std::lock_guard<std::mutex> l(mu_);
      fatal = fatal_;
      status = status_;
    }
    StoreLastStatus(fatal, status);
  }

  int32_t OpenReceipt(std::string_view header) override {
    return Call(Join({"OpenReceipt", std::string(header)}));
  }
  int32_t OpenRefundReceipt(std::string_view doc, std::string_view header) override {
    return Call(Join({"OpenRefundReceipt", std::string(doc), std::string(header)}));
  }
  int32_t CloseReceipt(std::string_view trailer) override {
    return Call(Join({"CloseReceipt", std::string(trailer)}));
  }
  int32_t CloseRefundReceipt(std::string_view trailer) override {
    return Call(Join({"CloseRefundReceipt", std::string(trailer)}));
  }
  int32_t SellItem(std::string_view d, int64_t price, int64_t qty, int32_t vat, int32_t dept,
                   int64_t unit) override {
    return Call(Join({"SellItem", std::string(d), N(price), N(qty), N(vat), N(dept), N(unit)}));
  }
  int32_t PrintMessage(std::string_view text) override {
    return Call(Join({"PrintMessage", std::string(text)}));
  }
  int32_t ItemAdjustment(int32_t code, std::string_view d, int64_t amount, int32_t vat,
                         int32_t dept) override {
    return Call(Join({"ItemAdjustment", N(code), std::string(d), N(amount), N(vat), N(dept)}));
  }
  int32_t SubtotalAdjustment(int32_t code, std::string_view d, int64_t amount) override {
    return Call(Join({"SubtotalAdjustment", N(code), std::string(d), N(amount)}));
  }
  int32_t ItemAdjustmentVoid(int32_t code, int64_t amount, int32_t vat, int32_t dept) override {
    return Call(Join({"ItemAdjustmentVoid", N(code), N(amount), N(vat), N(dept)}));
  }
  int32_t VoidItem(std::string_view d, int64_t price, int64_t qty, int32_t vat,
                   int32_t dept) override {
    return Call(Join({"VoidItem", std::string(d), N(price), N(qty), N(vat), N(dept)}));
  }
  int32_t Refund(std::string_view d, int64_t amount, int32_t vat, int32_t dept) override {
    return Call(Join({"Refund", std::string(d), N(amount), N(vat), N(dept)}));
  }
  int32_t RefundVoid(std::string_view d, int64_t amount, int32_t vat, int32_t dept) override {
    return Call(Join({"RefundVoid", std::string(d), N(amount), N(vat), N(dept)}));
  }
  int32_t Subtotal(int64_t amount) override { return Call(Join({"Subtotal", N(amount)})); }
  int32_t Total(int64_t amount) override { return Call(Join({"Total", N(amount)})); }
  int32_t Payment(std::string_view d, int64_t amount, int32_t form) override {
    return Call(Join({"Payment", std::string(d), N(amount), N(form)}));
  }
  int32_t NotPaid(std::string_view d, int64_t amount) override {
    return Call(Join({"NotPaid", std::string(d), N(amount)}));
  }
  int32_t ClosePayment(int64_t change) override { return Call(Join({"ClosePayment", N(change)})); }
  int32_t VoidReceipt() override { return Call("VoidReceipt"); }
  int32_t ReadReceiptAmount(int32_t which, int64_t* value) override {
    int32_t r = Call(Join({"ReadReceiptAmount", N(which)}));
    std::lock_guard<std::mutex> l(mu_);
    if (r == 0) *value = which == kAmountReceiptTotal ? total_ : remaining_;
    return r;
  }
  int32_t SetDateAndTime(const link::FpuDateTime& dt) override {
    return Call(Join({"SetDateAndTime", N(dt.year), N(dt.month), N(dt.day), N(dt.hour),
                      N(dt.minute), N(dt.second)}));
  }
  int32_t SetHeaderLine(int32_t line, std::string_view text, int32_t attribute) override {
    return Call(Join({"SetHeaderLine", N(line), std::string(text), N(attribute)}));
  }
  int32_t ReadVatRate(int32_t index, int32_t* rate) override {
    int32_t r = Call(Join({"ReadVatRate", N(index)}));
    std::lock_guard<std::mutex> l(mu_);
    if (r == 0) *rate = rates_[index];
    return r;
  }
  int32_t WriteVatTable(const std::vector<int32_t>& rates) override {
    std::string e = "WriteVatTable";
    for (int32_t v : rates) e += "|" + N(v);
    return Call(e);
  }
  int32_t SetTrainingMode(bool on) override { return Call(Join({"SetTrainingMode", N(on)})); }
  int32_t ResetPrinter() override { return Call("ResetPrinter"); }
  int32_t HealthCheck() override { return Call("HealthCheck"); }
  int32_t BeginNonFiscal() override { return Call("BeginNonFiscal"); }
  int32_t EndNonFiscal() override { return Call("EndNonFiscal"); }
  int32_t PrintNormal(int32_t station, std::string_view text, size_t max_lines) override {
    return Call(Join({"PrintNormal", N(station), std::string(text), N(int64_t(max_lines))}));
  }
  int32_t PrintBarcodeLine(int32_t station, std::string_view data, int32_t type) override {
    return Call(Join({"PrintBarcodeLine", N(station), std::string(data), N(type)}));
  }
  int32_t PrintLogoLine(int32_t station, int32_t logo, int32_t attribute) override {
    return Call(Join({"PrintLogoLine", N(station), N(logo), N(attribute)}));
  }
  int32_t PrintDailyReport(int32_t kind) override {
    return Call(Join({"PrintDailyReport", N(kind)}));
  }
  int32_t ReadDateTime(link::FpuDateTime* dt) override {
    int32_t r = Call("ReadDateTime");
    if (r == 0) *dt = link::FpuDateTime{2026, 12, 0, 8, 9, 30, 15, 0};
    return r;
  }
  int32_t PrintDuplicate(int32_t value) override {
    return Call(Join({"PrintDuplicate", N(value)}));
  }
  int32_t FiscalMemoryReportByDate(int32_t p1, int32_t p3, const link::FpuDateTime& from,
                                   const link::FpuDateTime& to) override {
    return Call(Join({"ReportByDate", N(p1), N(p3), N(from.year), N(from.month), N(from.day),
                      N(to.year), N(to.month), N(to.day)}));
  }
  int32_t FiscalMemoryReportByNumber(int32_t p1, int32_t p3, int32_t from, int32_t to) override {
    return Call(Join({"ReportByNumber", N(p1), N(p3), N(from), N(to)}));
  }
  int32_t ReadDataItem(int32_t item, int64_t* value) override {
    int32_t r = Call(Join({"ReadDataItem", N(item)}));
    if (r == 0) *value = 1000 + item;
    return r;
  }
  int32_t ReadTotalizer(int32_t vat, int32_t selector, int32_t kind, int64_t* value) override {
    int32_t r = Call(Join({"ReadTotalizer", N(vat), N(selector), N(kind)}));
    if (r == 0) *value = 777;
    return r;
  }
  int32_t ReadZReportAmount(int64_t* number, std::string* text, double* amount) override {
    int32_t r = Call("ReadZReportAmount");
    std::lock_guard<std::mutex> l(mu_);
    if (r == 0) {
      *number = 1;
      *text = "Z";
      *amount = z_amount_;
    }
    return r;
  }
  int32_t ReadZReportData(link::FpuZReportData* data) override {
    int32_t r = Call("ReadZReportData");
    std::lock_guard<std::mutex> l(mu_);
    if (r == 0) {
      data->values[0] = z_values_[0];
      data->values[1] = z_values_[1];
    }
    return r;
  }
  int32_t ReadModelName(std::string* name) override {
    std::lock_guard<std::mutex> l(mu_);
    if (!model_readable_) return 106;
    *name = model_;
    return 0;
  }
  int32_t ReadFirmwareText(std::string* text) override {
    *text = "5036000";
    return 0;
  }
  int32_t ReadPrinterId(std::string* text) override {
    *text = "KF0001";
    return 0;
  }
  int32_t SetDeviceFlag(int32_t flag) override { return Call(Join({"SetDeviceFlag", N(flag)})); }

 private:
  int32_t Call(const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('|'));
    std::unique_lock<std::mutex> l(mu_);
    log_.push_back(entry);
    last_thread_ = std::this_thread::get_id();
    if (held_.count(name)) {
      waiting_.insert(name);
      cv_.notify_all();
      cv_.wait(l, [&] { return held_.count(name) == 0; });
      waiting_.erase(name);
    }
    int32_t result = 0;
    if (auto it = fail_once_.find(name); it != fail_once_.end()) {
      result = it->second;
      fail_once_.erase(it);
    } else if (auto f = fail_.find(name); f != fail_.end()) {
      result = f->second;
    }
    l.unlock();
    RefreshStatus();  // as every command of a real device does
    return result;
  }

  std::mutex mu_;
  std::condition_variable cv_;
  bool online_ = true;
  bool opened_ = false;
  uint32_t flags_ = 0x01;
  int32_t phase_ = 0;
  int32_t fatal_ = 0;
  uint32_t status_ = 0;
  int probes_ = 0;
  std::map<std::string, int32_t> fail_;
  std::map<std::string, int32_t> fail_once_;
  std::set<std::string> held_;
  std::set<std::string> waiting_;
  std::vector<std::string> log_;
  std::thread::id last_thread_;
  int64_t total_ = 0;
  int64_t remaining_ = 0;
  std::string model_ = "KeloFPU";
  bool model_readable_ = true;
  std::map<int32_t, int32_t> rates_;
  std::array<int64_t, 2> z_values_{};
  double z_amount_ = 0;
};

struct HostEvent {
  char kind;  // 'S' status update, 'O' output complete, 'E' error
  int32_t a;
  int32_t b = 0;
  int32_t c = 0;
  friend bool operator==(const HostEvent&, const HostEvent&) = default;
};

class FakeHost : public PropertyHost {
 public:
  FakeHost() { SetClaimedDefaults(); }
  int32_t GetState() override {
    std::lock_guard<std::mutex> l(mu_);
    return state_;
  }
  void SetState(int32_t state) override {
    std::lock_guard<std::mutex> l(mu_);
    state_ = state;
    states_.push_back(state);
  }
  void RaiseStatusUpdate(int32_t data) override { Add({'S', data}); }
  void RaiseOutputComplete(int32_t id) override { Add({'O', id}); }
  int32_t RaiseError(int32_t code, int32_t ext, int32_t locus, int32_t preset) override {
    int32_t response = preset;
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> l(mu_);
      hook = on_error_;
    }
    if (hook) hook();  // what the application does before it answers
    {
      std::lock_guard<std::mutex> l(mu_);
      state_at_error_ = state_;
      if (!responses_.empty()) {
        response = responses_.front();
        responses_.erase(responses_.begin());
      }
    }
    Add({'E', code, ext, locus});
    return response;
  }
  void Trace(int, const std::string& text) override {
    std::lock_guard<std::mutex> l(mu_);
    trace_.push_back(text);
  }
  std::string GetPosId() override {
    std::lock_guard<std::mutex> l(mu_);
    return pos_id_;
  }
  std::string GetCashierId() override {
    std::lock_guard<std::mutex> l(mu_);
    return cashier_id_;
  }
  void SetVatTableEntry(int32_t id, int32_t rate) override {
    std::lock_guard<std::mutex> l(mu_);
    vat_table_[id] = rate;
  }

  // ---- Test side ----
  void SetIds(const std::string& pos, const std::string& cashier) {
    std::lock_guard<std::mutex> l(mu_);
    pos_id_ = pos;
    cashier_id_ = cashier;
  }
  void OnError(std::function<void()> hook) {
    std::lock_guard<std::mutex> l(mu_);
    on_error_ = std::move(hook);
  }
  void QueueErrorResponse(int32_t response) {
    std::lock_guard<std::mutex> l(mu_);
    responses_.push_back(response);
  }
  std::vector<HostEvent> Events() {
    std::lock_guard<std::mutex> l(mu_);
    return events_;
  }
  std::vector<int32_t> EventsOf(char kind) {
    std::lock_guard<std::mutex> l(mu_);
    std::vector<int32_t> v;
    for (const auto& e : events_) {
      if (e.kind == kind) v.push_back(e.a);
    }
    return v;
  }
  void ClearEvents() {
    std::lock_guard<std::mutex> l(mu_);
    events_.clear();
  }
  // Waits (real time, bounded) until count events of kind have arrived.
  bool WaitEvents(char kind, size_t count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> l(mu_);
    return cv_.wait_for(l, std::chrono::milliseconds(timeout_ms), [&] {
      size_t n = 0;
      for (const auto& e : events_) n += e.kind == kind;
      return n >= count;
    });
  }
  std::vector<std::string> TraceLines() {
    std::lock_guard<std::mutex> l(mu_);
    return trace_;
  }
  int32_t state_at_error() {
    std::lock_guard<std::mutex> l(mu_);
    return state_at_error_;
  }
  std::map<int32_t, int32_t> vat_table() {
    std::lock_guard<std::mutex> l(mu_);
    return vat_table_;
  }

 private:
  void Add(HostEvent e) {
    {
      std::lock_guard<std::mutex> l(mu_);
      events_.push_back(e);
    }
    cv_.notify_all();
  }

  std::mutex mu_;
  std::condition_variable cv_;
  int32_t state_ = opos::OPOS_S_IDLE;
  std::vector<int32_t> states_;
  std::vector<HostEvent> events_;
  std::vector<int32_t> responses_;
  std::vector<std::string> trace_;
  std::string pos_id_;
  std::string cashier_id_;
  std::map<int32_t, int32_t> vat_table_;
  int32_t state_at_error_ = 0;
  std::function<void()> on_error_;
};

}  // namespace kelo::device::testing
