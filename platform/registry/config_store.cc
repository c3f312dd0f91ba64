#include "platform/registry/config_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unordered_map>

namespace kelo::platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// A lock held longer than this by another process is treated as a failure rather than
// waited on forever (a writer only holds it for one read-modify-write of a small file).
constexpr auto kLockTimeout = std::chrono::seconds(10);

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void SkipBlanks(std::string_view* s) {
  while (!s->empty() && IsBlank(s->front())) s->remove_prefix(1);
}

// Reads a quoted text at the start of *s (the opening quote included), undoing the \\ and \"
// escapes, and leaves *s after the closing quote. Returns an error text or "".
std::string ReadQuoted(std::string_view* s, std::string* out) {
  if (s->empty() || s->front() != '"') return "expected '\"'";
  s->remove_prefix(1);
  out->clear();
  while (!s->empty()) {
    char c = s->front();
    s->remove_prefix(1);
    if (c == '"') return "";
    if (c == '\\') {
      if (s->empty()) break;
      char e = s->front();
      s->remove_prefix(1);
      if (e != '\\' && e != '"') return std::string("unknown escape '\\") + e + "'";
      out->push_back(e);
    } else {
      out->push_back(c);
    }
  }
  return "missing closing '\"'";
}

// Parses the part after '=' of a value line.
std::string ParseData(std::string_view s, RegValue* out) {
  SkipBlanks(&s);
  if (!s.empty() && s.front() == '"') {
    std::string text;
    std::string err = ReadQuoted(&s, &text);
    if (!err.empty()) return err;
    if (!Trim(s).empty()) return "unexpected text after the closing '\"'";
    *out = RegValue::String(std::move(text));
    return "";
  }
  constexpr std::string_view kDword = "dword:";
  if (s.size() >= kDword.size() && EqualsNoCase(s.substr(0, kDword.size()), kDword)) {
    std::string_view digits = Trim(s.substr(kDword.size()));
    if (digits.empty()) return "dword value without hex digits";
    if (digits.size() > 8) return "dword value has more than 8 hex digits";
    uint32_t v = 0;
    for (char c : digits) {
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
      } else {
        return "dword value has a character that is not a hex digit";
      }
      v = (v << 4) | static_cast<uint32_t>(d);
    }
    *out = RegValue::Dword(v);
    return "";
  }
  if (!s.empty() && s.front() == '-') return "value deletion entries are not supported";
  if (s.starts_with("hex")) return "unsupported value type (only strings and dwords are stored)";
  return "expected a quoted text or dword:XXXXXXXX";
}

void AppendQuoted(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

std::string ErrnoText(int err) {
  return std::strerror(err);
}

// Holds an flock on the sidecar lock file for as long as it lives.
class FileLock {
 public:
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
  }
  // Returns "" on success or an error text. With create false a lock file that cannot be
  // opened is not an error: the lock is then simply not taken (see Load).
  std::string Acquire(const std::string& path, bool exclusive, bool create) {
    int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    fd_ = ::open(path.c_str(), flags, 0644);
    if (fd_ < 0 && !create) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      if (!create) return "";
      return "cannot open lock file " + path + ": " + ErrnoText(errno);
    }
    auto deadline = std::chrono::steady_clock::now() + kLockTimeout;
    for (;;) {
      if (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return "";
      int err = errno;
      if (err != EWOULDBLOCK && err != EINTR) {
        return "cannot lock " + path + ": " + ErrnoText(err);
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        return "timed out waiting for the lock on " + path;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

 private:
  int fd_ = -1;
};

std::string LockPath(const std::string& file) {
  return file + ".lock";
}

// Reads the whole file. Sets *missing when it does not exist.
std::string ReadFile(const std::string& file, std::string* out, bool* missing) {
  *missing = false;
  out->clear();
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      *missing = true;
      return "";
    }
    return "cannot open " + file + ": " + ErrnoText(errno);
  }
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      return "cannot read " + file + ": " + ErrnoText(err);
    }
    if (n == 0) break;
    out->append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return "";
}

std::string LoadUnlocked(const std::string& file, RegistryData* out) {
  std::string text;
  bool missing = false;
  std::string err = ReadFile(file, &text, &missing);
  if (!err.empty()) return err;
  *out = RegistryData();
  if (missing) return "";
  std::string parse_error;
  if (!out->Parse(text, &parse_error)) return file + ": " + parse_error;
  return "";
}

bool SameData(const RegistryData& a, const RegistryData& b) {
  if (a.keys().size() != b.keys().size()) return false;
  for (size_t i = 0; i < a.keys().size(); ++i) {
    const RegKey& x = a.keys()[i];
    const RegKey& y = b.keys()[i];
    if (x.path != y.path || x.values != y.values) return false;
  }
  return true;
}

// Writes text to a temporary file beside file, flushes it to disk and renames it over file.
std::string WriteAtomically(const std::string& file, const std::string& text) {
  std::string tmp = file + ".XXXXXX";
  int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return "cannot create a temporary file beside " + file + ": " + ErrnoText(errno);
  // Keep the permissions of the file being replaced; a new file is readable by everyone,
  // since every process that uses the device reads it.
  struct stat st;
  mode_t mode = (::stat(file.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
  std::string err;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = "cannot write " + tmp + ": " + ErrnoText(errno);
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (err.empty() && ::fsync(fd) != 0) err = "cannot flush " + tmp + ": " + ErrnoText(errno);
  if (::close(fd) != 0 && err.empty()) err = "cannot close " + tmp + ": " + ErrnoText(errno);
  if (err.empty() && ::rename(tmp.c_str(), file.c_str()) != 0) {
    err = "cannot replace " + file + ": " + ErrnoText(errno);
  }
  if (!err.empty()) {
    ::unlink(tmp.c_str());
    return err;
  }
  // Make the rename itself durable.
  std::string dir = std::filesystem::path(file).parent_path().string();
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return "";
}

}  // namespace

// ---- RegKey ----

const RegValue* RegKey::Find(std::string_view name) const {
  for (const auto& [n, v] : values) {
    if (EqualsNoCase(n, name)) return &v;
  }
  return nullptr;
}

void RegKey::Set(std::string_view name, RegValue v) {
  for (auto& [n, old] : values) {
    if (EqualsNoCase(n, name)) {
      old = std::move(v);  // the name keeps the spelling it was first written with
      return;
    }
  }
  values.emplace_back(std::string(name), std::move(v));
}

bool RegKey::Erase(std::string_view name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualsNoCase(it->first, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

// ---- RegistryData ----

bool RegistryData::Parse(std::string_view text, std::string* error) {
  keys_.clear();
  std::vector<RegKey> keys;
  if (text.starts_with(kBom)) text.remove_prefix(kBom.size());

  size_t line_no = 0;
  bool seen_header = false;
  RegKey* current = nullptr;
  // Indexes by lower-case name, so that loading stays linear however many keys and values
  // the file holds (a key or value named twice still ends as one, with the last value).
  std::unordered_map<std::string, size_t> key_index;
  std::vector<std::unordered_map<std::string, size_t>> value_index;
  size_t current_index = 0;
  auto fail = [&](const std::string& what) {
    if (error) *error = "line " + std::to_string(line_no) + ": " + what;
    return false;
  };

  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view raw = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++line_no;
    std::string_view line = Trim(raw);

    if (!seen_header) {
      if (line.empty()) continue;  // blank lines before the header; an empty file is empty
      if (line != kHeader) return fail("expected \"" + std::string(kHeader) + "\"");
      seen_header = true;
      continue;
    }
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      if (line.back() != ']') return fail("key line without closing ']'");
      std::string_view path = line.substr(1, line.size() - 2);
      if (path.empty()) return fail("empty key path");
      if (path.front() == '-') return fail("key deletion entries are not supported");
      const auto [it, added] = key_index.try_emplace(LowerCopy(path), keys.size());
      if (added) {
        keys.push_back(RegKey{std::string(path), {}});
        value_index.emplace_back();
      }
      current_index = it->second;
      current = &keys[current_index];
      continue;
    }

    std::string name;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (rest.front() == '"') {
      std::string err = ReadQuoted(&rest, &name);
      if (!err.empty()) return fail("value name: " + err);
    } else {
      return fail("expected [key], \"name\"=value or @=value");
    }
    SkipBlanks(&rest);
    if (rest.empty() || rest.front() != '=') return fail("expected '=' after the value name");
    rest.remove_prefix(1);
    if (!current) return fail("value before the first [key] line");
    RegValue value;
    std::string err = ParseData(rest, &value);
    if (!err.empty()) return fail(err);
    const auto [it, added] =
        value_index[current_index].try_emplace(LowerCopy(name), current->values.size());
    if (added) {
      current->values.emplace_back(std::move(name), std::move(value));
    } else {
      current->values[it->second].second = std::move(value);  // keeps the first spelling
    }
  }
  keys_ = std::move(keys);
  return true;
}

std::string RegistryData::Serialize() const {
  std::string out(kHeader);
  out += "\n\n";
  for (const RegKey& k : keys_) {
    out += '[';
    out += k.path;
    out += "]\n";
    for (const auto& [name, v] : k.values) {
      if (name.empty()) {
        out += '@';
      } else {
        AppendQuoted(&out, name);
      }
      out += '=';
      if (v.kind == RegValue::Kind::String) {
        AppendQuoted(&out, v.text);
      } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
        out += buf;
      }
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

const RegKey* RegistryData::FindKey(std::string_view path) const {
  for (const RegKey& k : keys_) {
    if (EqualsNoCase(k.path, path)) return &k;
  }
  return nullptr;
}

RegKey& RegistryData::CreateKey(std::string_view path) {
  for (RegKey& k : keys_) {
    if (EqualsNoCase(k.path, path)) return k;
  }
  keys_.push_back(RegKey{std::string(path), {}});
  return keys_.back();
}

bool RegistryData::DeleteKey(std::string_view path) {
  for (auto it = keys_.begin(); it != keys_.end(); ++it) {
    if (EqualsNoCase(it->path, path)) {
      keys_.erase(it);
      return true;
    }
  }
  return false;
}

// ---- ConfigStore ----

ConfigStore::ConfigStore(std::string file)
    : file_(file.empty() ? DefaultFile() : std::move(file)) {}

std::string ConfigStore::DefaultFile() {
  const char* env = std::getenv("OPOS_REGISTRY");
  if (env && *env) return env;
  return "/etc/opos/registry.reg";
}

bool ConfigStore::Load(RegistryData* out, std::string* error) const {
  // Readers do not depend on the lock for consistency (writers replace the file by rename, so
  // a reader sees the old or the new file whole); the shared lock only keeps a reader from
  // starting while a writer is between reading and replacing. A reader that may not create
  // the lock file (read-only folder) reads without it.
  FileLock lock;
  std::string err = lock.Acquire(LockPath(file_), /*exclusive=*/false, /*create=*/false);
  if (err.empty()) err = LoadUnlocked(file_, out);
  if (!err.empty()) {
    *out = RegistryData();
    if (error) *error = err;
    return false;
  }
  return true;
}

std::optional<RegValue> ConfigStore::Read(std::string_view key, std::string_view name,
                                          std::string* error) const {
  if (error) error->clear();
  RegistryData data;
  if (!Load(&data, error)) return std::nullopt;
  const RegKey* k = data.FindKey(key);
  if (!k) return std::nullopt;
  const RegValue* v = k->Find(name);
  if (!v) return std::nullopt;
  return *v;
}

bool ConfigStore::KeyExists(std::string_view key, std::string* error) const {
  if (error) error->clear();
  RegistryData data;
  if (!Load(&data, error)) return false;
  return data.FindKey(key) != nullptr;
}

bool ConfigStore::Update(const std::function<void(RegistryData&)>& edit, std::string* error) const {
  auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::path(file_).parent_path();
  if (!dir.empty()) {
    std::filesystem::create_directories(dir, ec);
    if (ec) return fail("cannot create folder " + dir.string() + ": " + ec.message());
  }
  FileLock lock;
  std::string err = lock.Acquire(LockPath(file_), /*exclusive=*/true, /*create=*/true);
  if (!err.empty()) return fail(err);

  RegistryData data;
  err = LoadUnlocked(file_, &data);
  if (!err.empty()) return fail(err);
  edit(data);

  // Names and texts with line breaks, or key paths the format cannot carry, would come back
  // different (or not at all) from the file; refuse them instead of writing a file that
  // says something else.
  std::string text = data.Serialize();
  RegistryData check;
  std::string check_error;
  if (!check.Parse(text, &check_error) || !SameData(check, data)) {
    return fail("cannot store the change in " + file_ +
                ": a key path, value name or text cannot be written in .reg form" +
                (check_error.empty() ? "" : " (" + check_error + ")"));
  }
  err = WriteAtomically(file_, text);
  if (!err.empty()) return fail(err);
  return true;
}

}  // namespace kelo::platform
