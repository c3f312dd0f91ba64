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
  enum class Command { Help, Version, Register, Unregister, Class, Device, Show };
  Command command = Command::Help;
  // Library path (register, unregister), program identifier (class) or device name (device,
  // show).
  std::string target;
  std::string registry;  // --registry FILE; "" = the default configuration file
  // register --root DIR: the library is loaded from DIR/LIBRARY but registered as LIBRARY
  // (for installing into a system image that is not yet the running system).
  std::string root;
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
// Warns on `err` (and still succeeds) when the key then has no port, or a line speed the serial
// port cannot be set to.
int RunDevice(const RegToolArgs& args, std::ostream& out, std::ostream& err);
// The warnings RunDevice gives for a device key, one line each.
std::vector<std::string> DeviceKeyWarnings(const platform::RegKey& key);

// class PROGID: prints the library the program identifier is registered to; fails when it is
// not registered.
int RunClass(const RegToolArgs& args, std::ostream& out, std::ostream& err);
// unregister LIBRARY: removes every class whose server is LIBRARY and the program identifiers
// that name those classes; nothing else. Succeeds (saying so) when there is nothing to remove.
int RunUnregister(const RegToolArgs& args, std::ostream& out, std::ostream& err);
// After registering a library loaded as `loaded_as`, records it as `recorded_as` instead.
bool RecordServerPath(const platform::ConfigStore& store, const std::string& loaded_as,
                      const std::string& recorded_as, std::string* error);
// Prints the device key in .reg form.
int RunShow(const RegToolArgs& args, std::ostream& out, std::ostream& err);

}  // namespace kelo::tools
