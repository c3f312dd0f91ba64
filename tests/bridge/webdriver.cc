#include "tests/bridge/webdriver.h"

#include <httplib.h>

#include <chrono>
#include <thread>

namespace kelo::bridgetest {

namespace {
// The key W3C WebDriver uses for an element reference.
constexpr const char* kElementKey = "element-6066-11e4-a52e-4f735466cecf";
}  // namespace

WebDriver::WebDriver() = default;

WebDriver::~WebDriver() {
  if (client_ && !session_.empty()) {
    std::string ignored;
    Command("DELETE", "/session/" + session_, nullptr, &ignored);  // quits the browser
  }
  driver_.Terminate(std::chrono::seconds(10));
}

bool WebDriver::Start(const std::string& chromedriver, const std::string& chromium,
                      const std::string& folder, std::string* error) {
  const uint16_t port = FreePort();
  if (port == 0) {
    *error = "no free port for chromedriver";
    return false;
  }
  if (!driver_.Start({chromedriver, "--port=" + std::to_string(port)}, folder + "/chromedriver.log",
                     error)) {
    return false;
  }
  client_ = std::make_unique<httplib::Client>("127.0.0.1", port);
  client_->set_connection_timeout(2, 0);
  // Starting the browser on a loaded machine takes seconds.
  client_->set_read_timeout(60, 0);
  client_->set_write_timeout(10, 0);

  bool ready = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ready && std::chrono::steady_clock::now() < end) {
    if (auto r = client_->Get("/status"); r && r->status == 200) {
      const auto j = nlohmann::json::parse(r->body, nullptr, false);
      ready = j.is_object() && j.value("value", nlohmann::json::object()).value("ready", false);
    }
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!ready) {
    *error = "chromedriver did not get ready; its log:\n" + ReadFile(folder + "/chromedriver.log");
    return false;
  }
  const nlohmann::json caps = {
      {"capabilities",
       {{"alwaysMatch",
         {{"browserName", "chrome"},
          {"goog:chromeOptions",
           {{"binary", chromium},
            {"args",
             {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--no-first-run", "--user-data-dir=" + folder + "/profile"}}}}}}}}};
  auto value = Command("POST", "/session", caps, error);
  if (!value) return false;
  session_ = value->value("sessionId", "");
  if (session_.empty()) {
    *error = "no session id in " + value->dump();
    return false;
  }
  return true;
}

std::optional<nlohmann::json> WebDriver::Command(const std::string& method, const std::string& path,
                                                 const nlohmann::json& body, std::string* error) {
  httplib::Result r = method == "GET" ? client_->Get(path.c_str())
                      : method == "DELETE"
                          ? client_->Delete(path.c_str())
                          : client_->Post(path.c_str(), body.dump(), "application/json");
  if (!r) {
    *error = method + " " + path + ": " + httplib::to_string(r.error());
    return std::nullopt;
  }
  const auto j = nlohmann::json::parse(r->body, nullptr, false);
  if (r->status != 200 || !j.is_object() || !j.contains("value")) {
    *error = method + " " + path + ": HTTP " + std::to_string(r->status) + " " + r->body;
    return std::nullopt;
  }
  return j["value"];
}

bool WebDriver::Navigate(const std::string& url, std::string* error) {
  return Command("POST", "/session/" + session_ + "/url", {{"url", url}}, error).has_value();
}

std::optional<nlohmann::json> WebDriver::Script(const std::string& script, const std::string& arg) {
  std::string error;
  return Command("POST", "/session/" + session_ + "/execute/sync",
                 {{"script", script}, {"args", nlohmann::json::array({arg})}}, &error);
}

std::optional<std::string> WebDriver::Text(const std::string& selector) {
  auto v = Script(
      "const e = document.querySelector(arguments[0]); return e ? e.textContent.trim() : null;",
      selector);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

int WebDriver::Count(const std::string& selector) {
  auto v = Script("return document.querySelectorAll(arguments[0]).length;", selector);
  return v && v->is_number_integer() ? v->get<int>() : -1;
}

bool WebDriver::Click(const std::string& selector, std::string* error) {
  auto element = Command("POST", "/session/" + session_ + "/element",
                         {{"using", "css selector"}, {"value", selector}}, error);
  if (!element) return false;
  const std::string id = element->value(kElementKey, "");
  if (id.empty()) {
    *error = "no element reference for " + selector;
    return false;
  }
  return Command("POST", "/session/" + session_ + "/element/" + id + "/click",
                 nlohmann::json::object(), error)
      .has_value();
}

}  // namespace kelo::bridgetest
