// clsMacroEngine: records the calls made through the logged wrapper as macro lines, keeps
// them, saves and loads them, and plays them back one line at a time through the same
// wrapper members.
//
// States: idle (current line -1: recording on) and running (current line = the next line to
// play: AddCommand refuses lines, so playback is logged but not recorded again).
//
// Everything runs on the application's one thread. "F_Delay" keeps the host's event loop
// running through the injected pump while it waits, so the host may call StopMacro,
// Construct, LoadFromFile or SetLineMacro meanwhile; PlayLineMacro itself refuses to nest.
//
// Choices where the behaviour is open (each reported in the log, the engine stays
// consistent, and the line's result is 111 unless said otherwise):
//  - flags read "True"/"False" in any letter case, else a number (non-zero = true);
//  - "[ESC]", "[CR]" and "[LF]" in a recorded line turn back into their characters in every
//    field before it is played;
//  - a field that cannot be converted (a number beyond 32 bits, "P_DeviceEnabled" neither a
//    word nor a number, "P_ContractorId" not a whole number), or a line of more than 101
//    fields: the line is not executed;
//  - "F_Delay" of 0 ms does not wait (result 0); below 0 or above 65535 ms does not wait;
//  - "F_Open" with a device name that is not accepted: nothing is called (result 111 as
//    described), and the log says why;
//  - AddCommand beyond 10001 lines refuses the line (answer 2);
//  - LoadFromFile of an unreadable file or of more than 10001 lines keeps the current
//    macro;
//  - StopMacro, Construct or StartSavedMacro during a line's "F_Delay" end the wait, and the
//    line then does not advance the current line (so Stop really stops).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testapp/macro/macro_file.h"
#include "platform/os/clock.h"
#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/log_model.h"
#include "testapp/core/macro_recorder.h"
#include "testapp/core/ui_seams.h"

namespace kelo::macro {

// The list control lstMacroCode, driven by the engine.
class MacroListView {
 public:
  virtual ~MacroListView() = default;
  virtual void Clear() = 0;
  virtual void Add(const std::string& line) = 0;
  // -1: no selection.
  virtual void Select(int index) = 0;
};

class clsMacroEngine : public testapp::MacroRecorder {
 public:
  // Processes host events, returning after at most max_wait_ms (sooner when an event came).
  using EventPump = std::function<void(uint32_t max_wait_ms)>;

  // The pump defaults to sleeping on the clock.
  clsMacroEngine(testapp::clsFprtWrapper& wrapper, testapp::LogModel& log,
                 testapp::MessageBoxes& boxes, platform::Clock& clock = platform::SystemClock());

  void SetListView(MacroListView* view) { view_ = view; }
  void SetEventPump(EventPump pump) { pump_ = std::move(pump); }
  // Device names an "F_Open" line may open (default "KeloFPU" and "VantrixEj").
  void SetAcceptedDeviceNames(std::vector<std::string> names) { accepted_ = std::move(names); }

  int32_t Construct();
  int AddCommand(const std::string& command) override;
  int32_t ProcessMacro(const std::string& line);
  int32_t StartSavedMacro();
  int32_t StopMacro();
  int32_t PlayLineMacro();
  bool IsRunningMacro() const { return current_line_ != -1; }
  int32_t LoadFromFile(const std::string& path);
  int32_t SaveToFile(const std::string& path);
  int32_t PopulateListBoxMacro();
  int32_t SetLineMacro(int16_t index);

  int32_t count() const { return static_cast<int32_t>(lines_.size()); }
  const std::vector<std::string>& lines() const { return lines_; }
  int16_t current_line() const { return current_line_; }

 private:
  struct NotConverted {
    std::string why;
  };

  int32_t Execute(const std::vector<std::string>& fields, const std::string& line);
  int32_t Delay(const std::string& field);
  void Note(const std::string& text);
  void ListClear();
  void ListAdd(const std::string& line);
  void ListSelect(int index);

  testapp::clsFprtWrapper& wrapper_;
  testapp::LogModel& log_;
  testapp::MessageBoxes& boxes_;
  platform::Clock& clock_;
  EventPump pump_;
  MacroListView* view_ = nullptr;
  std::vector<std::string> accepted_{"KeloFPU", "VantrixEj"};

  std::vector<std::string> lines_;
  int16_t current_line_ = -1;
  // Counts StopMacro, Construct and StartSavedMacro calls, so a line that waited in
  // "F_Delay" can tell that playback was restarted or stopped meanwhile.
  uint64_t generation_ = 0;
  bool playing_line_ = false;
};

}  // namespace kelo::macro
