#include "tools/reg_tool.h"

#include <charconv>

namespace kelo::tools {
namespace {

using platform::RegValue;

constexpr std::string_view kProgId = "soKeloFPU.KeloFPU";
// The service object reads text values into 260-byte buffers.
constexpr size_t kMaxText = 259;

struct ValueOption {
  std::string_view option;
  std::string_view name;
  RegValue::Kind kind;
};

constexpr ValueOption kValueOptions[] = {
    {"--port", "Port", RegValue::Kind::String},
    {"--baud", "BaudRate", RegValue::Kind::Dword},
    {"--polling-time", "PollingTime", RegValue::Kind::Dword},
    {"--polling-after-sync", "PollingTimeAfterSyncCmd", RegValue::Kind::Dword},
    {"--polling-after-async", "PollingTimeAfterAsyncQueue", RegValue::Kind::Dword},
    {"--log-enabled", "LogEnabled", RegValue::Kind::Dword},
    {"--log-path", "LogPath", RegValue::Kind::String},
};

bool ParseNumber(std::string_view text, uint32_t* out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out, 10);
  return ec == std::errc() && end == text.data() + text.size();
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

bool ParseValue(const ValueOption& opt, const std::string& text, RegValue* out,
                std::string* error) {
  if (opt.kind == RegValue::Kind::String) {
    if (text.empty() && opt.name == "Port") {
      *error = "--port needs a port name";
      return false;
    }
    if (text.size() > kMaxText || HasLineBreak(text)) {
      *error = std::string(opt.option) + " must be one line of at most 259 characters";
      return false;
    }
    *out = RegValue::String(text);
    return true;
  }
  uint32_t n = 0;
  if (!ParseNumber(text, &n)) {
    *error = std::string(opt.option) + " needs a decimal number from 0 to 4294967295, not \"" +
             text + "\"";
    return false;
  }
  if (opt.name == "LogEnabled" && n > 1) {
    *error = "--log-enabled must be 0 or 1";
    return false;
  }
  if (opt.name == "BaudRate" && n == 0) {
    *error = "--baud must not be 0";
    return false;
  }
  *out = RegValue::Dword(n);
  return true;
}

}  // namespace

std::string RegToolUsage() {
  return "usage:\n"
         "  kelofpu-reg register LIBRARY.so [--registry FILE]\n"
         "  kelofpu-reg device NAME [--port P] [--baud N] [--polling-time MS]\n"
         "                     [--polling-after-sync MS] [--polling-after-async MS]\n"
         "                     [--log-enabled 0|1] [--log-path DIR] [--registry FILE]\n"
         "  kelofpu-reg show NAME [--registry FILE]\n"
         "The configuration file is FILE, else $OPOS_REGISTRY, else /etc/opos/registry.reg.\n";
}

std::string DeviceKeyPath(std::string_view name) {
  return std::string(platform::kHklm) + "\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\" +
         std::string(name);
}

bool ParseRegToolArgs(const std::vector<std::string>& args, RegToolArgs* out, std::string* error) {
  *out = RegToolArgs();
  if (args.empty()) {
    *error = "no command given";
    return false;
  }
  const std::string& cmd = args[0];
  if (cmd == "-h" || cmd == "--help" || cmd == "help") {
    out->command = RegToolArgs::Command::Help;
    return true;
  }
  if (cmd == "register") {
    out->command = RegToolArgs::Command::Register;
  } else if (cmd == "device") {
    out->command = RegToolArgs::Command::Device;
  } else if (cmd == "show") {
    out->command = RegToolArgs::Command::Show;
  } else {
    *error = "unknown command \"" + cmd + "\"";
    return false;
  }

  bool have_target = false;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i];
    if (!arg.starts_with("--")) {
      if (have_target) {
        *error = "unexpected argument \"" + arg + "\"";
        return false;
      }
      out->target = arg;
      have_target = true;
      continue;
    }
    // Both "--opt VALUE" and "--opt=VALUE".
    std::string value;
    bool inline_value = false;
    if (size_t eq = arg.find('='); eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inline_value = true;
    }
    auto take_value = [&]() {
      if (inline_value) return true;
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    if (arg == "--registry") {
      if (!take_value()) return false;
      if (value.empty()) {
        *error = "--registry needs a file name";
        return false;
      }
      out->registry = value;
      continue;
    }
    const ValueOption* opt = nullptr;
    if (out->command == RegToolArgs::Command::Device) {
      for (const ValueOption& o : kValueOptions) {
        if (arg == o.option) opt = &o;
      }
    }
    if (!opt) {
      *error = "unknown option \"" + arg + "\" for " + cmd;
      return false;
    }
    if (!take_value()) return false;
    RegValue v;
    if (!ParseValue(*opt, value, &v, error)) return false;
    // A repeated option: the last one wins, as the store keeps one value per name.
    std::erase_if(out->values, [&](const auto& p) { return p.first == opt->name; });
    out->values.emplace_back(std::string(opt->name), std::move(v));
  }
  if (!have_target) {
    *error = out->command == RegToolArgs::Command::Register ? "no library given"
                                                            : "no device name given";
    return false;
  }
  if (out->command != RegToolArgs::Command::Register) {
    const std::string& name = out->target;
    if (name.empty() || name.find('\\') != std::string::npos || HasLineBreak(name) ||
        name.find(']') != std::string::npos) {
      *error = "invalid device name \"" + name + "\"";
      return false;
    }
  }
  return true;
}

int RunDevice(const RegToolArgs& args, std::ostream& out, std::ostream& err) {
  platform::ConfigStore store(args.registry);
  std::string key = DeviceKeyPath(args.target);
  bool existed = false;
  std::string error;
  bool ok = store.Update(
      [&](platform::RegistryData& data) {
        existed = data.FindKey(key) != nullptr;
        platform::RegKey& k = data.CreateKey(key);
        k.Set("", RegValue::String(std::string(kProgId)));
        for (const auto& [name, value] : args.values) k.Set(name, value);
      },
      &error);
  if (!ok) {
    err << "kelofpu-reg: " << error << "\n";
    return kExitFailed;
  }
  out << (existed ? "updated " : "created ") << key << " in " << store.file() << "\n";
  return kExitOk;
}

int RunShow(const RegToolArgs& args, std::ostream& out, std::ostream& err) {
  platform::ConfigStore store(args.registry);
  platform::RegistryData data;
  std::string error;
  if (!store.Load(&data, &error)) {
    err << "kelofpu-reg: " << error << "\n";
    return kExitFailed;
  }
  std::string key = DeviceKeyPath(args.target);
  const platform::RegKey* k = data.FindKey(key);
  if (!k) {
    err << "kelofpu-reg: no key " << key << " in " << store.file() << "\n";
    return kExitFailed;
  }
  // The key alone, in the file's own form (so it can be pasted into another file).
  platform::RegistryData one;
  one.CreateKey(k->path).values = k->values;
  std::string text = one.Serialize();
  out << text.substr(text.find('['));
  return kExitOk;
}

}  // namespace kelo::tools
