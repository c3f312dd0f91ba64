// Macro files come from users and other machines: parse arbitrary bytes as a macro file and
// play every line against a closed control object (calls answer 101, nothing is opened).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/fiscal_printer.h"
#include "platform/os/clock.h"
#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/log_model.h"
#include "testapp/core/ui_seams.h"
#include "testapp/macro/macro_engine.h"
#include "testapp/macro/macro_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelo;
  std::vector<std::string> lines;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!macro::ParseMacroText(text, &lines, &error, 200)) return 0;

  control::FiscalPrinter printer;  // never opened
  testapp::LogModel log;
  testapp::SilentMessageBoxes boxes;
  testapp::clsFprtWrapper wrapper(printer, log);
  platform::FakeClock clock;
  macro::clsMacroEngine engine(wrapper, log, boxes, clock);
  engine.SetAcceptedDeviceNames({});  // "F_Open" lines must not reach any configuration
  engine.SetEventPump([&clock](uint32_t ms) { clock.Advance(ms); });
  wrapper.SetRecorder(&engine);
  for (const auto& line : lines) engine.AddCommand(line);
  engine.StartSavedMacro();
  while (engine.IsRunningMacro()) engine.PlayLineMacro();
  // Round trip: what was recorded serialises and parses back to the same lines.
  std::vector<std::string> again;
  if (!macro::ParseMacroText(macro::SerializeMacro(engine.lines()), &again, &error, 200) ||
      again.size() > engine.lines().size()) {
    __builtin_trap();
  }
  return 0;
}
