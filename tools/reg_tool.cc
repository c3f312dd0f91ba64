#include "tools/reg_tool.h"

#include <cctype>
#include <charconv>

#include "link/serial_port.h"
#include "link/tcp_address.h"

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
    link::TcpAddress address;
    if (opt.name == "Port" && link::IsTcpPortName(text) &&
        !link::ParseTcpPortName(text, &address, error)) {
      *error = "--port " + *error;
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
  return "Usage: kelofpu-reg COMMAND [ARGUMENTS] [--registry FILE]\n"
         "Registers the KeloFPU service object and creates, edits or shows FiscalPrinter device\n"
         "keys in the configuration file (a Windows .reg file).\n"
         "\n"
         "Commands:\n"
         "  register LIBRARY.so [--root DIR]\n"
         "                      load the service object library and let it register its class\n"
         "                      (DllRegisterServer); with --root the library is loaded from\n"
         "                      DIR/LIBRARY.so but registered as LIBRARY.so\n"
         "  unregister LIBRARY.so\n"
         "                      remove the classes whose server is LIBRARY.so, and nothing else\n"
         "  class PROGID        print the library PROGID is registered to (exit 1 if none)\n"
         "  device NAME [OPTIONS]\n"
         "                      create or edit the device key NAME (its default value is\n"
         "                      soKeloFPU.KeloFPU); warns when the key has no port or a line\n"
         "                      speed the port cannot take\n"
         "  show NAME           print the device key NAME in .reg form\n"
         "\n"
         "Device options (each written with the type the service object reads):\n"
         "  --port P                   \"Port\": a device path (/dev/ttyUSB0), COMn "
         "(/dev/ttyS(n-1))\n"
         "                             or tcp:HOST:PORT for a serial device server\n"
         "  --baud N                   \"BaudRate\" (dword): line speed, e.g. 9600, 19200, 115200\n"
         "  --polling-time MS          \"PollingTime\" (dword)\n"
         "  --polling-after-sync MS    \"PollingTimeAfterSyncCmd\" (dword)\n"
         "  --polling-after-async MS   \"PollingTimeAfterAsyncQueue\" (dword)\n"
         "  --log-enabled 0|1          \"LogEnabled\" (dword): write the trace file\n"
         "  --log-path DIR             \"LogPath\": folder of the trace file\n"
         "Options may also be written --option=VALUE; a repeated option: the last one wins.\n"
         "\n"
         "Other options:\n"
         "  --registry FILE            the configuration file (else $OPOS_REGISTRY, else\n"
         "                             /etc/opos/registry.reg)\n"
         "  -h, --help                 show this text\n"
         "  --version                  show the version\n"
         "\n"
         "Exit status: 0 done, 1 failed (or class: not registered), 2 bad command line.\n"
         "\n"
         "Examples:\n"
         "  kelofpu-reg register /usr/lib/x86_64-linux-gnu/kelofpu/libsoKeloFpu.so\n"
         "  kelofpu-reg device KeloFPU --port /dev/ttyUSB0 --baud 19200 --log-enabled 1 \\\n"
         "      --log-path /var/log/kelofpu/\n"
         "  kelofpu-reg show KeloFPU\n"
         "  kelofpu-reg class soKeloFPU.KeloFPU\n"
         "  OPOS_REGISTRY=/tmp/test.reg kelofpu-reg device Sim --port /tmp/kelofpu-sim\n";
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
  if (cmd == "--version") {
    out->command = RegToolArgs::Command::Version;
    return true;
  }
  if (cmd == "register") {
    out->command = RegToolArgs::Command::Register;
  } else if (cmd == "unregister") {
    out->command = RegToolArgs::Command::Unregister;
  } else if (cmd == "class") {
    out->command = RegToolArgs::Command::Class;
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
    if (arg == "--root" && out->command == RegToolArgs::Command::Register) {
      if (!take_value()) return false;
      if (value.empty()) {
        *error = "--root needs a folder";
        return false;
      }
      out->root = value;
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
  const bool library_command = out->command == RegToolArgs::Command::Register ||
                               out->command == RegToolArgs::Command::Unregister;
  if (!have_target) {
    *error = library_command                               ? "no library given"
             : out->command == RegToolArgs::Command::Class ? "no program identifier given"
                                                           : "no device name given";
    return false;
  }
  if (!library_command) {
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
  platform::RegistryData data;
  if (store.Load(&data, &error)) {
    if (const platform::RegKey* k = data.FindKey(key)) {
      for (const std::string& w : DeviceKeyWarnings(*k))
        err << "kelofpu-reg: warning: " << w << "\n";
    }
  }
  return kExitOk;
}

std::vector<std::string> DeviceKeyWarnings(const platform::RegKey& key) {
  std::vector<std::string> warnings;
  const RegValue* port = key.Find("Port");
  if (!port || port->kind != RegValue::Kind::String || port->text.empty()) {
    warnings.push_back(
        "the key has no port (\"Port\"): the service object opens COM1, that is /dev/ttyS0; "
        "give --port");
  }
  const RegValue* baud = key.Find("BaudRate");
  const bool network =
      port && port->kind == RegValue::Kind::String && port->text.starts_with("tcp:");
  if (baud && !network) {
    if (baud->kind != RegValue::Kind::Dword) {
      warnings.push_back("\"BaudRate\" is not a dword: the service object uses 19200");
    } else if (!link::LineSpeedSupported(baud->dword)) {
      std::string speeds;
      for (uint32_t s : link::SupportedLineSpeeds()) {
        speeds += (speeds.empty() ? "" : ", ") + std::to_string(s);
      }
      warnings.push_back("a serial port cannot be set to " + std::to_string(baud->dword) +
                         " baud (the line would run at 38400); use one of " + speeds);
    }
  }
  return warnings;
}

namespace {

bool PathStartsWith(std::string_view path, std::string_view prefix) {
  if (path.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(path[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return path.size() == prefix.size() || path[prefix.size()] == '\\';
}

// Deletes the key and every key below it.
void DeleteTree(platform::RegistryData& data, const std::string& path) {
  std::vector<std::string> doomed;
  for (const platform::RegKey& k : data.keys()) {
    if (PathStartsWith(k.path, path)) doomed.push_back(k.path);
  }
  for (const std::string& p : doomed) data.DeleteKey(p);
}

const std::string kClassesRoot = std::string(platform::kHkcr) + "\\";
const std::string kClsidRoot = kClassesRoot + "CLSID\\";
constexpr std::string_view kServerSuffix = "\\InprocServer32";

// The CLSIDs whose InprocServer32 is `library`.
std::vector<std::string> ClassesServedBy(const platform::RegistryData& data,
                                         const std::string& library) {
  std::vector<std::string> clsids;
  for (const platform::RegKey& k : data.keys()) {
    if (!PathStartsWith(k.path, kClsidRoot.substr(0, kClsidRoot.size() - 1))) continue;
    if (!k.path.ends_with(kServerSuffix)) continue;
    const RegValue* server = k.Find("");
    if (!server || server->kind != RegValue::Kind::String || server->text != library) continue;
    std::string clsid = k.path.substr(kClsidRoot.size());
    clsid.resize(clsid.size() - kServerSuffix.size());
    if (clsid.find('\\') == std::string::npos) clsids.push_back(clsid);
  }
  return clsids;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && PathStartsWith(a, b);
}

}  // namespace

int RunClass(const RegToolArgs& args, std::ostream& out, std::ostream& err) {
  platform::ConfigStore store(args.registry);
  platform::RegistryData data;
  std::string error;
  if (!store.Load(&data, &error)) {
    err << "kelofpu-reg: " << error << "\n";
    return kExitFailed;
  }
  const platform::RegKey* progid = data.FindKey(kClassesRoot + args.target + "\\CLSID");
  const RegValue* clsid = progid ? progid->Find("") : nullptr;
  const platform::RegKey* server =
      clsid ? data.FindKey(kClsidRoot + clsid->text + std::string(kServerSuffix)) : nullptr;
  const RegValue* library = server ? server->Find("") : nullptr;
  if (!library || library->kind != RegValue::Kind::String) {
    err << "kelofpu-reg: " << args.target << " is not registered in " << store.file() << "\n";
    return kExitFailed;
  }
  out << library->text << "\n";
  return kExitOk;
}

int RunUnregister(const RegToolArgs& args, std::ostream& out, std::ostream& err) {
  platform::ConfigStore store(args.registry);
  size_t removed = 0;
  std::string error;
  bool ok = store.Update(
      [&](platform::RegistryData& data) {
        const std::vector<std::string> clsids = ClassesServedBy(data, args.target);
        removed = clsids.size();
        // Program identifiers naming one of these classes: HKCR\<progid>\CLSID.
        std::vector<std::string> progids;
        for (const platform::RegKey& k : data.keys()) {
          if (!PathStartsWith(k.path, std::string(platform::kHkcr)) ||
              PathStartsWith(k.path, kClsidRoot.substr(0, kClsidRoot.size() - 1)) ||
              !k.path.ends_with("\\CLSID")) {
            continue;
          }
          const RegValue* v = k.Find("");
          if (!v || v->kind != RegValue::Kind::String) continue;
          for (const std::string& c : clsids) {
            if (SameText(v->text, c)) progids.push_back(k.path.substr(0, k.path.size() - 6));
          }
        }
        for (const std::string& p : progids) DeleteTree(data, p);
        for (const std::string& c : clsids) DeleteTree(data, kClsidRoot + c);
      },
      &error);
  if (!ok) {
    err << "kelofpu-reg: " << error << "\n";
    return kExitFailed;
  }
  if (removed == 0) {
    out << "no class of " << args.target << " is registered in " << store.file() << "\n";
  } else {
    out << "unregistered " << args.target << " from " << store.file() << "\n";
  }
  return kExitOk;
}

bool RecordServerPath(const platform::ConfigStore& store, const std::string& loaded_as,
                      const std::string& recorded_as, std::string* error) {
  return store.Update(
      [&](platform::RegistryData& data) {
        for (const std::string& c : ClassesServedBy(data, loaded_as)) {
          data.CreateKey(kClsidRoot + c + std::string(kServerSuffix))
              .Set("", RegValue::String(recorded_as));
        }
      },
      error);
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
