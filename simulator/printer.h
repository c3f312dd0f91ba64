// The printer's command set: takes one command (opcode and payload of a frame) and answers
// the reply code and reply fields, acting on the fiscal model, the paper roll, the graphics
// stores, the customer display, the cash drawer and the sensors. It knows nothing about
// frames, sequence numbers or faults (FrameServer does).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/fpu_frame.h"
#include "platform/os/clock.h"
#include "simulator/device_profile.h"
#include "simulator/fiscal_model.h"
#include "simulator/graphics_store.h"
#include "simulator/paper_roll.h"
#include "simulator/sim_clock.h"

namespace kelo::sim {

// Reply codes the printer answers.
inline constexpr uint8_t kReplyOk = link::kReplyDone;
inline constexpr uint8_t kReplyBusy = link::kReplyBusy;
inline constexpr uint8_t kReplyInProgress = link::kReplyInProgress;
inline constexpr uint8_t kReplyRefused = link::kReplyRefused83;  // not now: state, sensors
inline constexpr uint8_t kReplyBadData =
    link::kReplyRefused84;  // wrong or missing field, unknown command

// Fatal code of a printer without error (128 = 0x80; 135 and 140 also mean "no error").
inline constexpr uint8_t kFatalNone = 0x80;

// Status word bits.
inline constexpr uint32_t kStatusCoverOpen = 1u << 0;
inline constexpr uint32_t kStatusJournalFull = 1u << 8;
inline constexpr uint32_t kStatusJournalNearFull = 1u << 9;
inline constexpr uint32_t kStatusPaperOut = 1u << 10;
inline constexpr uint32_t kStatusPaperNearEnd = 1u << 11;
inline constexpr uint32_t kStatusDrawerOpen = 1u << 16;

struct Reply {
  uint8_t code = kReplyOk;
  std::vector<std::string> fields;
};

class Printer {
 public:
  // ticks drives the printer's clock (when running) and the drawer timer.
  explicit Printer(platform::Clock& ticks, DeviceProfile profile = DeviceProfile{});
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  Reply Execute(uint8_t opcode, std::string_view payload);

  uint32_t StatusWord();
  uint8_t fatal_code() const { return fatal_; }
  void set_fatal_code(uint8_t code) { fatal_ = code; }

  // True for the commands whose answer carries fields (they never stay "in progress").
  static bool AnswersFields(uint8_t opcode);

  // ---- Parts of the printer ----
  DeviceProfile& profile() { return profile_; }
  FiscalModel& model() { return model_; }
  PaperRoll& paper() { return paper_; }
  PrinterClock& clock() { return clock_; }
  GraphicStore& logos() { return logos_; }
  GraphicStore& display_graphics() { return display_graphics_; }
  CustomerDisplay& display() { return display_; }
  // Applies changed limits of the profile to the graphics stores.
  void ApplyProfile();

  // ---- Sensors and mechanics ----
  void SetCoverOpen(bool on) { cover_open_ = on; }
  void SetPaperNearEnd(bool on) { paper_near_end_ = on; }
  void SetPaperOut(bool on) { paper_out_ = on; }
  void SetJournalNearFull(bool on) { journal_near_full_ = on; }
  void SetJournalFull(bool on) { journal_full_ = on; }
  bool DrawerOpen();
  void CloseDrawer() { drawer_open_ = false; }
  void PowerCycle();  // switched off and on: drawer closes, open documents are voided

  const std::vector<int32_t>& keys() const { return keys_; }
  int32_t device_flag() const { return device_flag_; }
  uint64_t executed() const { return executed_; }
  // Commands executed that may have changed what --state keeps (everything but queries).
  uint64_t mutations() const { return mutations_; }

 private:
  Reply Receipt(const std::vector<std::string>& f);
  Reply Display(const std::vector<std::string>& f);
  Reply Graphics(const std::vector<std::string>& f);
  Reply DeviceInfo(const std::vector<std::string>& f);
  Reply ReadParameters(const std::vector<std::string>& f);
  Reply WriteParameters(const std::vector<std::string>& f);
  bool Blocked() const;  // a sensor or an error stops printing
  std::string LogoText(int number) const;

  platform::Clock& ticks_;
  DeviceProfile profile_;
  PaperRoll paper_;
  PrinterClock clock_;
  FiscalModel model_;
  GraphicStore logos_;
  GraphicStore display_graphics_;
  CustomerDisplay display_;

  uint8_t fatal_ = kFatalNone;
  bool cover_open_ = false;
  bool paper_near_end_ = false;
  bool paper_out_ = false;
  bool journal_near_full_ = false;
  bool journal_full_ = false;
  bool drawer_open_ = false;
  uint32_t drawer_opened_at_ = 0;
  std::vector<int32_t> keys_;
  int32_t device_flag_ = 0;
  uint64_t executed_ = 0;
  uint64_t mutations_ = 0;
};

// "%XX" escapes back to bytes. False for a malformed escape.
bool UnescapeBytes(std::string_view text, std::vector<uint8_t>* out);

}  // namespace kelo::sim
