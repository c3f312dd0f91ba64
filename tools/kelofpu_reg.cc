// kelofpu-reg: registers the service object library in the configuration file and creates or
// shows a FiscalPrinter device key. See RegToolUsage() for the command line.
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <iostream>

#include "platform/automation/loader.h"
#include "tools/reg_tool.h"

namespace {

int RunRegister(const kelo::tools::RegToolArgs& args) {
  // DllRegisterServer writes to the configuration file the platform layer resolves, so
  // --registry is handed on through the variable that resolution reads.
  if (!args.registry.empty() && ::setenv("OPOS_REGISTRY", args.registry.c_str(), 1) != 0) {
    std::cerr << "kelofpu-reg: cannot set OPOS_REGISTRY\n";
    return kelo::tools::kExitFailed;
  }
  // With --root the library is loaded from inside DIR; the library records the path it was
  // loaded from, which is then rewritten to the path it has once DIR is the running system.
  const std::string load_path = args.root.empty() ? args.target : args.root + "/" + args.target;
  kelo::automation::CreateResult r = kelo::automation::RegisterServer(load_path);
  if (kelo::automation::Failed(r.hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(r.hr));
    std::cerr << "kelofpu-reg: registering " << load_path << " failed (" << code << ")"
              << (r.error.empty() ? "" : ": " + r.error) << "\n";
    return kelo::tools::kExitFailed;
  }
  if (!args.root.empty()) {
    char resolved[PATH_MAX];
    std::string error;
    if (!::realpath(load_path.c_str(), resolved) ||
        !kelo::tools::RecordServerPath(kelo::platform::ConfigStore(), resolved, args.target,
                                       &error)) {
      std::cerr << "kelofpu-reg: cannot record " << args.target << ": " << error << "\n";
      return kelo::tools::kExitFailed;
    }
  }
  std::cout << "registered " << args.target << " in " << kelo::platform::ConfigStore::DefaultFile()
            << "\n";
  return kelo::tools::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  using kelo::tools::RegToolArgs;
  std::vector<std::string> args(argv + 1, argv + argc);
  RegToolArgs parsed;
  std::string error;
  if (!kelo::tools::ParseRegToolArgs(args, &parsed, &error)) {
    std::cerr << "kelofpu-reg: " << error << "\n" << kelo::tools::RegToolUsage();
    return kelo::tools::kExitUsage;
  }
  switch (parsed.command) {
    case RegToolArgs::Command::Help:
      std::cout << kelo::tools::RegToolUsage();
      return kelo::tools::kExitOk;
    case RegToolArgs::Command::Version:
      std::cout << "kelofpu-reg " KELO_VERSION "\n";
      return kelo::tools::kExitOk;
    case RegToolArgs::Command::Register:
      return RunRegister(parsed);
    case RegToolArgs::Command::Unregister:
      return kelo::tools::RunUnregister(parsed, std::cout, std::cerr);
    case RegToolArgs::Command::Class:
      return kelo::tools::RunClass(parsed, std::cout, std::cerr);
    case RegToolArgs::Command::Device:
      return kelo::tools::RunDevice(parsed, std::cout, std::cerr);
    case RegToolArgs::Command::Show:
      return kelo::tools::RunShow(parsed, std::cout, std::cerr);
  }
  return kelo::tools::kExitFailed;
}
