// A small WebDriver client: starts chromedriver, opens one headless chromium session with a
// user-data folder of its own, and offers the few commands the page test needs (navigate, the
// text of an element, a click). Every request has a time-out; the destructor ends the session
// and the driver.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_rig.h"

namespace httplib {
class Client;
}

namespace kelo::bridgetest {

class WebDriver {
 public:
  WebDriver();
  ~WebDriver();
  WebDriver(const WebDriver&) = delete;
  WebDriver& operator=(const WebDriver&) = delete;

  // folder: for the driver's log and the browser's profile.
  bool Start(const std::string& chromedriver, const std::string& chromium,
             const std::string& folder, std::string* error);
  bool Navigate(const std::string& url, std::string* error);
  // The trimmed textContent of the first element matching the CSS selector; nullopt when
  // there is none (or the command failed).
  std::optional<std::string> Text(const std::string& selector);
  // How many elements match the selector (-1 when the command failed).
  int Count(const std::string& selector);
  // A real click (pointer events) on the first element matching the selector.
  bool Click(const std::string& selector, std::string* error);

 private:
  // One WebDriver command; the "value" of the answer, or nullopt with *error.
  std::optional<nlohmann::json> Command(const std::string& method, const std::string& path,
                                        const nlohmann::json& body, std::string* error);
  std::optional<nlohmann::json> Script(const std::string& script, const std::string& arg);

  ChildProcess driver_;
  std::unique_ptr<httplib::Client> client_;
  std::string session_;
};

}  // namespace kelo::bridgetest
