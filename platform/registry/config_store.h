// The configuration store: one text file in the Windows ".reg" export format standing in for
// the registry.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\OLEforRetail\ServiceOPOS\FiscalPrinter\KeloFPU]
//   @="soKeloFPU.KeloFPU"
//   "Port"="/dev/ttyUSB0"
//   "BaudRate"=dword:00004b00
//
// Key paths are full paths starting with the hive name ("HKEY_LOCAL_MACHINE\..."), matched
// ignoring ASCII case; so are value names. The default value has the name "".
// The file is $OPOS_REGISTRY when set, else /etc/opos/registry.reg.
// Readers take a shared lock and never see half a file; writers take an exclusive lock, write
// a temporary file beside it and rename it over the old one.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::platform {

struct RegValue {
  enum class Kind { String, Dword };
  Kind kind = Kind::String;
  std::string text;    // Kind::String (bytes as written in the file, UTF-8)
  uint32_t dword = 0;  // Kind::Dword

  static RegValue String(std::string s) { return {Kind::String, std::move(s), 0}; }
  static RegValue Dword(uint32_t v) { return {Kind::Dword, {}, v}; }
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

struct RegKey {
  std::string path;  // as first written, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\..."
  // Value names in file order; "" is the default value ("@").
  std::vector<std::pair<std::string, RegValue>> values;

  const RegValue* Find(std::string_view name) const;  // case-insensitive
  void Set(std::string_view name, RegValue v);        // replaces or appends
  bool Erase(std::string_view name);
};

// The whole parsed file.
class RegistryData {
 public:
  // Parses text in .reg format. On failure returns false and sets *error to
  // "line N: <what is wrong>"; *this is then left empty (never half a key).
  bool Parse(std::string_view text, std::string* error);
  std::string Serialize() const;

  const RegKey* FindKey(std::string_view path) const;  // case-insensitive
  RegKey& CreateKey(std::string_view path);            // finds or appends
  bool DeleteKey(std::string_view path);
  const std::vector<RegKey>& keys() const { return keys_; }

 private:
  std::vector<RegKey> keys_;
};

class ConfigStore {
 public:
  // file: path of the .reg file; "" means DefaultFile().
  explicit ConfigStore(std::string file = "");

  // $OPOS_REGISTRY when set and non-empty, else "/etc/opos/registry.reg".
  static std::string DefaultFile();
  const std::string& file() const { return file_; }

  // Reads and parses the file under a shared lock. A missing file is an empty store
  // (returns true). A malformed file returns false with *error naming the file and line.
  bool Load(RegistryData* out, std::string* error) const;

  // Convenience single reads (Load + lookup). nullopt when the file, key or value is absent
  // or the file is malformed (then *error, when given, says why).
  std::optional<RegValue> Read(std::string_view key, std::string_view name,
                               std::string* error = nullptr) const;
  bool KeyExists(std::string_view key, std::string* error = nullptr) const;

  // Locks the file exclusively, loads it, lets edit change it, writes it atomically.
  // Creates the file (and its folder) when missing. Returns false with *error on failure,
  // leaving the file as it was.
  bool Update(const std::function<void(RegistryData&)>& edit, std::string* error) const;

 private:
  std::string file_;
};

// Hive names used by the system.
inline constexpr std::string_view kHklm = "HKEY_LOCAL_MACHINE";
inline constexpr std::string_view kHkcr = "HKEY_CLASSES_ROOT";

}  // namespace kelo::platform
