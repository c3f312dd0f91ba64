// Shared pieces of the fault scenarios: a UnitHost that records events and answers error
// events as a point-of-sale application would, the simulator's journal in countable form,
// and bounded waits. Protocol time-outs run on a ScaledClock (ten times real speed), so a
// dead printer costs about a second instead of nine.
#pragma once
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/unit_host.h"
#include "opos/opos_constants.h"
#include "simulator/simulator.h"
#include "testing/fields.h"
#include "testing/property_host.h"
#include "testing/scaled_clock.h"
#include "testing/wait.h"

namespace kelo::faults {

inline constexpr uint32_t kTimeScale = 10;

using kelo::testing::Fields;
using kelo::testing::WaitFor;

// How many journal lines (of every document) start with text, and in how many documents of
// each kind.
inline int JournalLinesStartingWith(sim::Simulator& sim, const std::string& text) {
  int n = 0;
  for (const sim::JournalDoc& doc : sim.Journal()) {
    for (const std::string& line : doc.lines) n += line.compare(0, text.size(), text) == 0;
  }
  return n;
}

// Lines of the receipt still open on the printer that start with text.
inline int OpenReceiptLinesStartingWith(sim::Simulator& sim, const std::string& text) {
  return sim.printer([&](sim::Printer& p) {
    int n = 0;
    for (const sim::ReceiptEntry& e : p.model().receipt().entries) {
      n += e.description.compare(0, text.size(), text) == 0 && e.kind == sim::ReceiptEntry::kSale;
    }
    return n;
  });
}

class FaultHost : public device::testing::PropertyHost {
 public:
  int32_t GetState() override {
    std::lock_guard<std::mutex> l(mu_);
    return state_;
  }
  void SetState(int32_t state) override {
    std::lock_guard<std::mutex> l(mu_);
    state_ = state;
  }
  void RaiseStatusUpdate(int32_t) override {}
  void RaiseOutputComplete(int32_t id) override {
    std::lock_guard<std::mutex> l(mu_);
    completed_.push_back(id);
  }
  // Answers with the queued responses, then with clear.
  int32_t RaiseError(int32_t code, int32_t, int32_t, int32_t) override {
    std::function<void()> hook;
    int32_t response = opos::OPOS_ER_CLEAR;
    {
      std::lock_guard<std::mutex> l(mu_);
      errors_.push_back(code);
      hook = on_error_;
      if (!responses_.empty()) {
        response = responses_.front();
        responses_.pop_front();
      }
    }
    if (hook) hook();
    return response;
  }
  void Trace(int, const std::string&) override {}
  std::string GetPosId() override { return ""; }
  std::string GetCashierId() override { return ""; }
  void SetVatTableEntry(int32_t, int32_t) override {}

  void QueueErrorResponse(int32_t response) {
    std::lock_guard<std::mutex> l(mu_);
    responses_.push_back(response);
  }
  // Runs on the worker thread inside RaiseError, before the response goes back.
  void OnError(std::function<void()> hook) {
    std::lock_guard<std::mutex> l(mu_);
    on_error_ = std::move(hook);
  }
  std::vector<int32_t> completed() {
    std::lock_guard<std::mutex> l(mu_);
    return completed_;
  }
  std::vector<int32_t> errors() {
    std::lock_guard<std::mutex> l(mu_);
    return errors_;
  }

 private:
  // Guards everything below: the worker thread and the test's thread both call in.
  std::mutex mu_;
  int32_t state_ = 2;
  std::vector<int32_t> completed_;
  std::vector<int32_t> errors_;
  std::deque<int32_t> responses_;
  std::function<void()> on_error_;
};

}  // namespace kelo::faults
