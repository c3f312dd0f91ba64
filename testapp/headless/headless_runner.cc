#include "testapp/headless/headless_runner.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

#include "control/fiscal_printer.h"
#include "platform/os/clock.h"
#include "testapp/core/app_folder.h"
#include "testapp/core/auto_tests.h"
#include "testapp/core/device_session.h"
#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/log_model.h"
#include "testapp/macro/macro_engine.h"

namespace kelo::testapp {

namespace {

constexpr int kUsageError = 2;

// Message boxes as lines on standard error. Events may show boxes from the service object's
// thread, so the stream is guarded.
class StderrMessageBoxes : public MessageBoxes {
 public:
  StderrMessageBoxes(std::ostream& err, bool retry) : err_(err), retry_(retry) {}
  void ShowMessage(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    err_ << text << "\n" << std::flush;
  }
  bool AskRetryCancel(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    err_ << text << " -> " << (retry_ ? "Retry" : "Cancel") << "\n" << std::flush;
    return retry_;
  }

 private:
  // Guards err_: boxes come from the main thread and from event handlers.
  std::mutex mutex_;
  std::ostream& err_;
  const bool retry_;
};

bool ParseNumber(const std::string& text, int64_t min, int64_t max, int64_t* out) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    return false;
  }
  *out = value;
  return true;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

int ExitStatus(int32_t first_failure) {
  if (first_failure == 0) return 0;
  return static_cast<int>(std::clamp<int32_t>(first_failure, 1, 255));
}

}  // namespace

std::string HeadlessUsage() {
  std::string names;
  for (const auto& t : AutoTestNames()) names += "    " + t.name + "  (" + t.caption + ")\n";
  return "Usage:\n"
         "  KeloFPUTest [--screenshot FILE.png [--panel FORM] [--click NAME]...]\n"
         "  KeloFPUTest --play FILE.oposcmd [--log OUT] [--stop-on-error] [--delay MS]\n"
         "              [--error-response retry|clear] [--device NAME]\n"
         "  KeloFPUTest --autotest NAME [--log OUT] [--error-response retry|clear]\n"
         "              [--device NAME] [--lines N] [--repetitions R] [--async]\n"
         "The KeloFPU fiscal printer test application. Without --play or --autotest it opens\n"
         "its windows (when built with them and a display is available); with either it runs\n"
         "headless, writing the log lines as the log window shows them, and exits 0 when every\n"
         "call gave 0, else with the first failing result code (1..255).\n"
         "\n"
         "Headless options:\n"
         "  --play FILE          play a macro file (.oposcmd) line by line\n"
         "  --autotest NAME      run one of the automatic tests listed below\n"
         "  --log OUT            write the log to OUT instead of standard output\n"
         "  --stop-on-error      stop the macro at the first call that does not give 0\n"
         "  --delay MS           wait MS (0..65535) between macro lines\n"
         "  --error-response R   answer ErrorEvents with retry or clear (default clear);\n"
         "                       message boxes become lines on standard error\n"
         "  --device NAME        the device key to open (default KeloFPU)\n"
         "  --lines N            lines per endurance receipt (PrintTicket, PrintTicketA)\n"
         "  --repetitions R      endurance receipts to print (1..100000)\n"
         "Window options:\n"
         "  --screenshot FILE    save a picture of the main window (PNG) and quit\n"
         "  --panel FORM         the panel to show first (for example frmMacro)\n"
         "  --click NAME         press that button first (repeatable)\n"
         "  -h, --help           show this text\n"
         "  --version            show the version\n"
         "Automatic tests:\n" +
         names +
         "\n"
         "Environment:\n"
         "  OPOS_REGISTRY        the configuration file (default /etc/opos/registry.reg)\n"
         "\n"
         "Examples:\n"
         "  KeloFPUTest --autotest FullFiscalTicket\n"
         "  KeloFPUTest --play receipt.oposcmd --log receipt.log --stop-on-error\n"
         "  OPOS_REGISTRY=/tmp/sim.reg KeloFPUTest --autotest PrintTicket --lines 20 "
         "--repetitions 100\n"
         "  QT_QPA_PLATFORM=offscreen KeloFPUTest --screenshot main.png\n";
}

std::optional<HeadlessOptions> ParseHeadlessArgs(const std::vector<std::string>& args,
                                                 std::string* error) {
  error->clear();
  const bool wanted = std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a == "--play" || a == "--autotest";
  });
  if (!wanted) return std::nullopt;
  HeadlessOptions o;
  bool have_mode = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    int64_t n = 0;
    if (a == "--play" || a == "--autotest") {
      if (have_mode) {
        *error = "give either --play or --autotest, once";
        return std::nullopt;
      }
      have_mode = true;
      if (!value(&v)) return std::nullopt;
      if (a == "--play") {
        o.mode = HeadlessOptions::Mode::Play;
        o.file = v;
      } else {
        o.mode = HeadlessOptions::Mode::AutoTest;
        const auto& names = AutoTestNames();
        auto it = std::find_if(names.begin(), names.end(),
                               [&](const AutoTestInfo& t) { return EqualsIgnoreCase(t.name, v); });
        if (it == names.end()) {
          *error = "unknown automatic test \"" + v + "\"";
          return std::nullopt;
        }
        o.autotest = it->name;
      }
    } else if (a == "--log") {
      if (!value(&o.log_file)) return std::nullopt;
    } else if (a == "--stop-on-error") {
      o.stop_on_error = true;
    } else if (a == "--async") {
      o.async_mode = true;
    } else if (a == "--delay") {
      if (!value(&v)) return std::nullopt;
      if (!ParseNumber(v, 0, 65535, &n)) {
        *error = "--delay takes 0 to 65535 ms";
        return std::nullopt;
      }
      o.delay_ms = static_cast<uint32_t>(n);
    } else if (a == "--error-response") {
      if (!value(&v)) return std::nullopt;
      if (v != "retry" && v != "clear") {
        *error = "--error-response takes retry or clear";
        return std::nullopt;
      }
      o.retry_on_error = v == "retry";
    } else if (a == "--device") {
      if (!value(&o.device)) return std::nullopt;
      if (o.device.empty()) {
        *error = "--device needs a name";
        return std::nullopt;
      }
    } else if (a == "--lines" || a == "--repetitions") {
      if (!value(&v)) return std::nullopt;
      if (!ParseNumber(v, a == "--lines" ? 0 : 1, 100000, &n)) {
        *error = a + " takes a number";
        return std::nullopt;
      }
      (a == "--lines" ? o.lines : o.repetitions) = static_cast<int32_t>(n);
    } else {
      *error = "unknown argument \"" + a + "\"";
      return std::nullopt;
    }
  }
  return o;
}

int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  std::ofstream log_file;
  std::ostream* log_out = &out;
  if (!options.log_file.empty()) {
    log_file.open(options.log_file, std::ios::binary | std::ios::trunc);
    if (!log_file) {
      err << "Cannot write the log file " << options.log_file << "\n";
      return kUsageError;
    }
    log_out = &log_file;
  }

  // A log that cannot be written (a full disk, /dev/full) ends the run with a clear message
  // and a non-zero exit, never with a lost log and exit 0.
  auto finish = [&](int status) {
    if (log_file.is_open()) {
      log_file.flush();
      if (!log_file) {
        err << "Cannot write the log file " << options.log_file << ": " << std::strerror(errno)
            << "\n";
        return kUsageError;
      }
    }
    return status;
  };

  LogModel log;
  log.SetLineListener([log_out](const std::string& line) {
    *log_out << line << "\n" << std::flush;
  });
  StderrMessageBoxes boxes(err, options.retry_on_error);

  control::FiscalPrinterOptions control_options;
  control_options.registry_file = options.registry_file;
  control::FiscalPrinter control(std::move(control_options));
  InstallEventLogging(control, log, boxes);

  clsFprtWrapper wrapper(control, log);
  int32_t first_failure = 0;

  std::vector<std::string> accepted = DeviceSession::DefaultAcceptedNames();
  if (std::find(accepted.begin(), accepted.end(), options.device) == accepted.end()) {
    accepted.push_back(options.device);
  }
  platform::Clock& clock = platform::SystemClock();

  if (options.mode == HeadlessOptions::Mode::Play) {
    macro::clsMacroEngine engine(wrapper, log, boxes, clock);
    engine.SetAcceptedDeviceNames(accepted);
    wrapper.SetRecorder(&engine);
    engine.Construct();
    if (engine.LoadFromFile(options.file) != 0) {
      wrapper.SetRecorder(nullptr);
      err << "Cannot play " << options.file << "\n";
      return finish(ExitStatus(opos::OPOS_E_FAILURE));
    }
    engine.StartSavedMacro();
    while (engine.IsRunningMacro()) {
      const int32_t rc = engine.PlayLineMacro();
      if (rc != 0 && first_failure == 0) first_failure = rc;
      if (rc != 0 && options.stop_on_error) {
        engine.StopMacro();
        boxes.ShowMessage("Error ... execution paused");
        break;
      }
      if (options.delay_ms > 0 && engine.IsRunningMacro()) clock.SleepMs(options.delay_ms);
    }
    wrapper.SetRecorder(nullptr);
    return finish(ExitStatus(first_failure));
  }

  wrapper.SetResultObserver([&](const std::string&, int32_t rc) {
    if (rc != 0 && first_failure == 0) first_failure = rc;
  });
  DeviceSession session(wrapper, boxes, options.device, accepted);
  const int32_t opened = session.OpenClaimEnable();
  if (opened == 0) {
    if (options.async_mode) wrapper.SetAsyncMode(true);
    AutoTestContext ctx{wrapper,
                        boxes,
                        [&] { session.RefreshStatus(); },
                        [] { std::this_thread::sleep_for(std::chrono::microseconds(100)); },
                        AppFolder(),
                        {}};
    const std::string& name = options.autotest;
    if (name == "FullFiscalTicket") {
      FullFiscalTicket(ctx);
    } else if (name == "FullCreditNote") {
      FullCreditNote(ctx);
    } else if (name == "NonFiscalTicket") {
      SimpleNonFiscalTicket(ctx);
    } else if (name == "FullNonFiscalTicket") {
      FullNonFiscalTicket(ctx);
    } else {
      const bool async = name == "PrintTicketA";
      for (int32_t r = options.repetitions; r > 0; --r) {
        EnduranceReceipt(ctx, options.lines, async);
        // The loop's timer starts the next receipt two seconds later.
        if (r > 1) clock.SleepMs(2000);
      }
    }
  } else if (first_failure == 0) {
    first_failure = opened;
  }
  if (control.IsOpen()) session.DisableReleaseClose();
  return finish(ExitStatus(first_failure));
}

int HeadlessMain(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << HeadlessUsage();
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "KeloFPUTest " KELO_VERSION "\n";
    return 0;
  }
  std::string error;
  const std::optional<HeadlessOptions> options = ParseHeadlessArgs(args, &error);
  if (!options) {
    if (error.empty()) return -1;
    std::cerr << "KeloFPUTest: " << error << "\n" << HeadlessUsage();
    return kUsageError;
  }
  return RunHeadless(*options, std::cout, std::cerr);
}

}  // namespace kelo::testapp
