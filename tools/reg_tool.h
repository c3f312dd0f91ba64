// The registration tool's work, apart from its main(): argument parsing and the device-key
// commands, so that tests can run them against a temporary configuration file.
#pragma once
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry/config_store.h"

namespace kelo::tools {

// Exit codes of kelofpu-reg.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct RegToolArgs {
  enum class Command { Help, Register, Device, Show };
  Command command = Command::Help;
  std::string target;    // library path (register) or device name (device, show)
  std::string registry;  // --registry FILE; "" = the default configuration file
  // device: the values to write, in command-line order, with the types the service reads.
  std::vector<std::pair<std::string, platform::RegValue>> values;
};

// Parses the arguments after the program name. Returns false with *error (a one-line reason;
// the caller adds the usage text) when they are not valid.
bool ParseRegToolArgs(const std::vector<std::string>& args, RegToolArgs* out, std::string* error);

std::string RegToolUsage();

// HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\FiscalPrinter\<name>
std::string DeviceKeyPath(std::string_view name);

// Creates or edits the device key: the default value "soKeloFPU.KeloFPU" plus args.values.
int RunDevice(const RegToolArgs& args, std::ostream& out, std::ostream& err);
// Prints the device key in .reg form.
int RunShow(const RegToolArgs& args, std::ostream& out, std::ostream& err);

}  // namespace kelo::tools
