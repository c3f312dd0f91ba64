// Switches the process to a locale whose decimal separator is a comma (it_IT.UTF-8 or
// de_DE.UTF-8), so tests can show that amounts and numbers do not depend on the locale.
// When neither is installed it builds it_IT.UTF-8 once with localedef into a cache folder
// under the temporary directory (LOCPATH). Tests skip with the reason when that fails.
#pragma once
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kelo::testapp::testing {

inline bool SwitchToCommaLocale(std::string* why) {
  for (const char* name : {"it_IT.UTF-8", "de_DE.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') return true;
  }
  namespace fs = std::filesystem;
  const fs::path cache = fs::temp_directory_path() / "kelo_test_locales";
  const fs::path target = cache / "it_IT.UTF-8";
  std::error_code ec;
  if (!fs::exists(target / "LC_NUMERIC", ec)) {
    // Build beside the cache and rename into place, so parallel test processes never read a
    // half-written locale.
    const fs::path staging = cache / ("staging." + std::to_string(getpid()));
    fs::create_directories(staging, ec);
    const std::string command =
        "localedef -i it_IT -f UTF-8 '" + (staging / "it_IT.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !fs::exists(staging / "it_IT.UTF-8" / "LC_NUMERIC")) {
      fs::remove_all(staging, ec);
      *why = "no comma-decimal locale installed and localedef could not build it_IT.UTF-8";
      return false;
    }
    fs::rename(staging / "it_IT.UTF-8", target, ec);  // another process may have won
    fs::remove_all(staging, ec);
  }
  setenv("LOCPATH", cache.c_str(), 1);
  if (std::setlocale(LC_ALL, "it_IT.UTF-8") && std::localeconv()->decimal_point[0] == ',') {
    return true;
  }
  *why = "the generated it_IT.UTF-8 locale could not be selected";
  return false;
}

inline void RestoreCLocale() {
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
}

}  // namespace kelo::testapp::testing
