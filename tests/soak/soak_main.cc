// kelofpu-soak: drives many fiscal receipts through the driver against the printer simulator
// with faults on the line and audits the printer's journal afterwards. Exit 0 when the audit
// finds no duplicate, loss or mismatch; 1 when it does; 2 for bad arguments or a failed
// set-up.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tests/soak/soak_runner.h"

namespace {

const char kUsage[] =
    "usage: kelofpu-soak [--receipts N] [--mode link|sync|async] [--faults SPEC] [--seed N]\n"
    "                    [--jobs N] [--time-scale N] [--library PATH] [--markdown FILE]\n"
    "  --receipts N     receipts to run (default 100)\n"
    "  --mode M         link: FpuProtocol; sync/async: control object + service object\n"
    "  --faults SPEC    simulator fault rates, e.g. corrupt=0.01,drop=0.01 (\"\" for none)\n"
    "  --seed N         seed of the receipts and of the faults (default 1)\n"
    "  --jobs N         independent printer+driver pairs run side by side (default 1)\n"
    "  --time-scale N   run time N times faster (default 1: real time)\n"
    "  --library PATH   libsoKeloFpu.so for sync/async\n"
    "  --markdown FILE  also write the figures as a Markdown table\n"
    "environment (sync/async): KELO_SOAK_DEBUG=1 prints every call with its result on\n"
    "standard error; KELO_SOAK_TRACE=DIR/ switches the service object's trace file on there\n";

bool Number(const char* text, long long min, long long* out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < min) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  kelo::soak::SoakOptions options;
  std::string markdown;
  std::string command = "kelofpu-soak";
  for (int i = 1; i < argc; ++i) command += std::string(" ") + argv[i];
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (i + 1 >= argc) {
      std::cerr << "kelofpu-soak: " << arg << " needs a value\n" << kUsage;
      return 2;
    }
    const char* value = argv[++i];
    long long n = 0;
    bool ok = true;
    if (arg == "--receipts") {
      ok = Number(value, 1, &n) && n <= 10000000;
      options.receipts = static_cast<int32_t>(n);
    } else if (arg == "--mode") {
      ok = kelo::soak::ParseMode(value, &options.mode);
    } else if (arg == "--faults") {
      options.faults = value;
    } else if (arg == "--seed") {
      ok = Number(value, 0, &n);
      options.seed = static_cast<uint64_t>(n);
    } else if (arg == "--jobs") {
      ok = Number(value, 1, &n) && n <= 64;
      options.jobs = static_cast<int32_t>(n);
    } else if (arg == "--time-scale") {
      ok = Number(value, 1, &n) && n <= 100;
      options.time_scale = static_cast<uint32_t>(n);
    } else if (arg == "--library") {
      options.library = value;
    } else if (arg == "--markdown") {
      markdown = value;
    } else {
      std::cerr << "kelofpu-soak: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
    if (!ok) {
      std::cerr << "kelofpu-soak: bad value for " << arg << ": " << value << "\n";
      return 2;
    }
  }
  const kelo::soak::SoakReport report = kelo::soak::RunSoak(options);
  std::cout << kelo::soak::FormatReport(report);
  if (!markdown.empty()) {
    std::ofstream out(markdown);
    out << kelo::soak::FormatMarkdown(report, command);
    if (!out) {
      std::cerr << "kelofpu-soak: cannot write " << markdown << "\n";
      return 2;
    }
  }
  if (!report.setup_error.empty()) return 2;
  return report.ok() ? 0 : 1;
}
