// The bridge through its real stack: HTTP requests to a Bridge in this process, which prints
// through the control object and the service object on the simulator's pseudo-terminal.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/document.h"
#include "bridge/journal.h"
#include "bridge/requests.h"
#include "control/fiscal_printer.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"
#include "testing/device_key.h"

namespace kelo::bridge {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kReceipt = R"({
  "items": [ {"description":"Milk 1l","price":"1.20","quantity":2,"vat":1},
             {"description":"Bread","price":0.75,"department":3} ],
  "adjustments": [ {"kind":"discount","percent":"10.00"} ],
  "messages": ["Thank you"],
  "payments": [ {"description":"Cash","amount":"10.00"} ] })";

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_bridge_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    registry_ = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry_.c_str(), 1);
    auto reg = automation::RegisterServer(KELO_SERVICE_SO_PATH);
    ASSERT_EQ(reg.hr, automation::S_OK) << reg.error;
  }
  void TearDown() override {
    bridge_.reset();
    for (auto& sim : sims_) sim->Stop();
    unsetenv("OPOS_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  // A simulated printer under the device key `device`.
  sim::Simulator& AddPrinter(const std::string& device, uint32_t baud = 0) {
    sim::SimulatorOptions options;
    options.baud = baud;
    sims_.push_back(std::make_unique<sim::Simulator>(options));
    std::string error;
    EXPECT_TRUE(sims_.back()->Start(&error)) << error;
    EXPECT_TRUE(
        kelo::testing::WriteDeviceKey(registry_, device, sims_.back()->slave_path(), 0, &error))
        << error;
    return *sims_.back();
  }

  std::string JournalPath() const { return (dir_ / "journal.db").string(); }

  void StartBridge(std::vector<PrinterConfig> printers, const std::string& token = "") {
    BridgeConfig config;
    config.listen_port = 0;
    config.journal_path = JournalPath();
    config.token = token;
    config.max_body_bytes = 4096;
    config.printers = std::move(printers);
    bridge_ = std::make_unique<Bridge>(config);
    std::string error;
    ASSERT_TRUE(bridge_->Start(&error)) << error;
  }

  httplib::Result Post(const std::string& path, const std::string& key, const std::string& body,
                       httplib::Headers headers = {}) {
    httplib::Client client("127.0.0.1", bridge_->port());
    client.set_read_timeout(30, 0);
    if (!key.empty()) headers.emplace("Idempotency-Key", key);
    return client.Post(path.c_str(), headers, body, "application/json");
  }

  httplib::Result Get(const std::string& path) {
    httplib::Client client("127.0.0.1", bridge_->port());
    return client.Get(path.c_str());
  }

  std::filesystem::path dir_;
  std::string registry_;
  std::vector<std::unique_ptr<sim::Simulator>> sims_;
  std::unique_ptr<Bridge> bridge_;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

TEST_F(BridgeTest, ReceiptIsPrintedOnceAndItsReplayPrintsNothing) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  StartBridge({{"front", "KeloFPU"}});
  const size_t mark = sim.PaperMark();

  auto res = Post("/v1/printers/front/receipts", "sale-1", kReceipt);
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 201) << res->body;
  const Json body = Json::parse(res->body);
  // 2 x 1.20 + 0.75 = 3.15, less 10 % (0.315, rounded half away from zero) = 2.83.
  EXPECT_EQ(body["total"], "2.83");
  EXPECT_EQ(body["paid"], "10.00");
  EXPECT_EQ(body["change"], "7.17");
  EXPECT_EQ(body["receipt_number"], 1);
  EXPECT_EQ(sim.DataItem(20), 1);  // sales receipts ended
  const std::string paper = Joined(sim.PaperSince(mark));
  EXPECT_NE(paper.find("Milk 1l"), std::string::npos) << paper;
  EXPECT_NE(paper.find("SUBTOTAL DISCOUNT 10.00%             -0.32"), std::string::npos) << paper;
  EXPECT_NE(paper.find("TOTAL EUR                             2.83"), std::string::npos) << paper;
  EXPECT_NE(paper.find("CHANGE                                7.17"), std::string::npos) << paper;
  EXPECT_NE(paper.find("No. 0001-0001"), std::string::npos) << paper;

  // The retry: the same answer, marked as a replay, and not a line more on the paper.
  const size_t after = sim.PaperMark();
  auto replay = Post("/v1/printers/front/receipts", "sale-1", kReceipt);
  ASSERT_TRUE(replay);
  EXPECT_EQ(replay->status, 201);
  EXPECT_EQ(replay->body, res->body);
  EXPECT_EQ(replay->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(sim.PaperMark(), after);
  EXPECT_EQ(sim.DataItem(20), 1);

  // The same key for another document (or another path) is a conflict, not a print.
  auto other = Post("/v1/printers/front/receipts", "sale-1",
                    R"({"items":[{"description":"Tea","price":"1","vat":1}],)"
                    R"("payments":[{"description":"Cash","amount":"1"}]})");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->status, 422);
  EXPECT_EQ(Json::parse(other->body)["error"]["code"], "conflict");
  EXPECT_EQ(sim.PaperMark(), after);

  // Status shows it, from the bridge's own outcome.
  auto status = Get("/v1/printers/front");
  ASSERT_TRUE(status);
  const Json s = Json::parse(status->body);
  EXPECT_EQ(s["online"], true);
  EXPECT_EQ(s["last_receipt_number"], 1);
  ASSERT_EQ(s["recent"].size(), 1u);
  EXPECT_EQ(s["recent"][0]["key"], "sale-1");
  EXPECT_EQ(s["recent"][0]["total"], "2.83");

  // Data queries: amounts as the client writes them, counters as numbers.
  auto daily = Get("/v1/printers/front/data/daily_total");
  ASSERT_TRUE(daily);
  EXPECT_EQ(daily->body, R"({"item":"daily_total","value":"2.83"})");
  auto receipts = Get("/v1/printers/front/data/fiscal_receipts");
  ASSERT_TRUE(receipts);
  EXPECT_EQ(receipts->body, R"({"item":"fiscal_receipts","value":"1"})");
}

TEST_F(BridgeTest, RefusedRequestsAnswerJsonNamingTheFieldAndPrintNothing) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  StartBridge({{"front", "KeloFPU"}}, "s3cret");
  const httplib::Headers auth = {{"Authorization", "Bearer s3cret"}};
  const std::string item = R"({"description":"Tea","price":"1.00","vat":1})";
  const std::string pay = R"([{"description":"Cash","amount":"1.00"}])";
  struct Case {
    const char* name;
    std::string key;
    std::string body;
    httplib::Headers headers;
    int status;
    std::string field;  // "" when the error names none
  };
  const std::vector<Case> cases = {
      {"bad JSON", "a1", R"({"items": [)", auth, 400, "(body)"},
      {"unknown field", "a2", R"({"items":[)" + item + R"(],"payments":)" + pay + R"(,"tip":1})",
       auth, 400, "tip"},
      {"unknown item field", "a3",
       R"({"items":[{"description":"Tea","price":"1","vat":1,"colour":"red"}],"payments":)" + pay +
           "}",
       auth, 400, "items[0].colour"},
      {"wrong type", "a4",
       R"({"items":[{"description":7,"price":"1","vat":1}],"payments":)" + pay + "}", auth, 400,
       "items[0].description"},
      {"bad amount: three decimals", "a5",
       R"({"items":[{"description":"Tea","price":1.001,"vat":1}],"payments":)" + pay + "}", auth,
       400, "items[0].price"},
      {"bad amount: exponent", "a6",
       R"({"items":[{"description":"Tea","price":1e2,"vat":1}],"payments":)" + pay + "}", auth, 400,
       "items[0].price"},
      {"quantity out of range", "a7",
       R"({"items":[{"description":"Tea","price":"1","quantity":0,"vat":1}],"payments":)" + pay +
           "}",
       auth, 400, "items[0].quantity"},
      {"no items", "a8", R"({"items":[],"payments":)" + pay + "}", auth, 400, "items"},
      {"payments short of the total", "a9",
       R"({"items":[)" + item + R"(],"payments":[{"description":"Cash","amount":"0.99"}]})", auth,
       400, "payments"},
      {"missing key", "", R"({"items":[)" + item + R"(],"payments":)" + pay + "}", auth, 400,
       "Idempotency-Key"},
      {"huge body", "a10", std::string(5000, ' '), auth, 413, ""},
      {"no token", "a11", R"({"items":[)" + item + R"(],"payments":)" + pay + "}", {}, 401, ""},
      {"wrong token",
       "a12",
       R"({"items":[)" + item + R"(],"payments":)" + pay + "}",
       {{"Authorization", "Bearer s3cre7"}},
       401,
       ""},
  };
  const size_t mark = sim.PaperMark();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto res = Post("/v1/printers/front/receipts", c.key, c.body, c.headers);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status) << res->body;
    const Json body = Json::parse(res->body, nullptr, false);
    ASSERT_TRUE(body.is_object()) << res->body;
    EXPECT_TRUE(body["error"]["code"].is_string()) << res->body;
    if (!c.field.empty()) {
      EXPECT_EQ(body["error"]["field"], c.field) << res->body;
    }
  }
  // httplib's own answers are JSON too.
  httplib::Client client("127.0.0.1", bridge_->port());
  auto missing = client.Get("/v1/nothing-here", auth);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(Json::parse(missing->body, nullptr, false)["error"]["code"], "not_found");
  EXPECT_EQ(sim.PaperMark(), mark);
  EXPECT_EQ(sim.DataItem(3), 0);
}

// The figures the bridge answers are the printer's, also with chained adjustments; a refund
// prints as a refund receipt naming its reference, and the next sale is a sale again.
TEST_F(BridgeTest, FiguresMatchThePrinterAndRefundsPrintAsRefundReceipts) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  StartBridge({{"front", "KeloFPU"}});
  // 15.55, less 10 % (1.56) = 13.99, plus 5 % of that (0.70) = 14.69, less 0.69 = 14.00.
  auto sale = Post("/v1/printers/front/receipts", "chained",
                   R"({"items":[{"description":"Wine","price":"10.00","vat":1},)"
                   R"({"description":"Cheese","price":"5.55","vat":2}],)"
                   R"("adjustments":[{"kind":"discount","percent":"10"},)"
                   R"({"kind":"surcharge","percent":"5.00"},{"kind":"discount","amount":"0.69"}],)"
                   R"("payments":[{"description":"Cash","amount":"20"}]})");
  ASSERT_TRUE(sale);
  ASSERT_EQ(sale->status, 201) << sale->body;
  const Json body = Json::parse(sale->body);
  EXPECT_EQ(body["total"], "14.00");
  EXPECT_EQ(body["total"], FormatCents(sim.DataItem(1)));  // the printer's receipt total
  EXPECT_EQ(body["change"], "6.00");

  size_t mark = sim.PaperMark();
  auto refund = Post("/v1/printers/front/receipts", "refund",
                     R"({"refund":true,"reference":"0001-0001",)"
                     R"("items":[{"description":"Wine","price":"10.00","vat":1}],)"
                     R"("payments":[{"description":"Cash","amount":"10.00"}]})");
  ASSERT_TRUE(refund);
  ASSERT_EQ(refund->status, 201) << refund->body;
  std::string paper = Joined(sim.PaperSince(mark));
  EXPECT_NE(paper.find("REFUND DOCUMENT"), std::string::npos) << paper;
  EXPECT_NE(paper.find("0001-0001"), std::string::npos) << paper;

  mark = sim.PaperMark();
  auto next = Post("/v1/printers/front/receipts", "after-refund", kReceipt);
  ASSERT_TRUE(next);
  ASSERT_EQ(next->status, 201) << next->body;
  paper = Joined(sim.PaperSince(mark));
  EXPECT_EQ(paper.find("REFUND"), std::string::npos) << paper;
  EXPECT_EQ(sim.DataItem(20), 2);  // two sales ended
}

// A printer that is not there at start: the bridge starts anyway, reports it offline and
// refuses its work with 503 (nothing recorded), and takes it once it appears.
TEST_F(BridgeTest, APrinterAbsentAtStartIsClaimedWhenItAppears) {
  const std::string link = (dir_ / "tty").string();
  std::string error;
  ASSERT_TRUE(kelo::testing::WriteDeviceKey(registry_, "Late", link, 0, &error)) << error;
  StartBridge({{"late", "Late"}});
  auto status = Get("/v1/printers/late");
  ASSERT_TRUE(status);
  const Json s = Json::parse(status->body);
  EXPECT_EQ(s["online"], false);
  EXPECT_TRUE(s["last_error"].is_string());
  auto refused = Post("/v1/printers/late/receipts", "late-1", kReceipt);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503) << refused->body;

  sims_.push_back(std::make_unique<sim::Simulator>());
  ASSERT_TRUE(sims_.back()->Start(&error)) << error;
  ASSERT_TRUE(sims_.back()->LinkAt(link, &error)) << error;
  bool online = false;
  for (int i = 0; i < 100 && !online; ++i) {  // the claim is retried every second
    std::this_thread::sleep_for(50ms);
    auto now = Get("/v1/printers/late");
    online = now && Json::parse(now->body)["online"] == true;
  }
  ASSERT_TRUE(online);
  auto printed = Post("/v1/printers/late/receipts", "late-1", kReceipt);
  ASSERT_TRUE(printed);
  EXPECT_EQ(printed->status, 201) << printed->body;
}

// The printer refuses the second line: the receipt is voided, the failure is journalled and
// replayed, and the printer is left with no receipt open.
TEST_F(BridgeTest, AFailureMidReceiptVoidsItAndIsReplayed) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  StartBridge({{"front", "KeloFPU"}});
  const std::string doc = R"({"items":[{"description":"Tea","price":"1.00","vat":1},)"
                          R"({"description":"Cake","price":"2.00","vat":9}],)"
                          R"("payments":[{"description":"Cash","amount":"3.00"}]})";
  auto res = Post("/v1/printers/front/receipts", "fails", doc);
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 502) << res->body;
  const Json body = Json::parse(res->body);
  EXPECT_EQ(body["state"], "failed");
  EXPECT_EQ(body["voided"], true);
  EXPECT_EQ(body["error"]["code"], "printer_error");
  EXPECT_NE(body["error"]["result_code"], 0);
  EXPECT_EQ(sim.DataItem(6), 1);   // one voided receipt
  EXPECT_EQ(sim.DataItem(20), 0);  // no sale ended
  auto status = Get("/v1/printers/front");
  ASSERT_TRUE(status);
  EXPECT_EQ(Json::parse(status->body)["receipt_open"], false);

  const size_t mark = sim.PaperMark();
  auto replay = Post("/v1/printers/front/receipts", "fails", doc);
  ASSERT_TRUE(replay);
  EXPECT_EQ(replay->status, 502);
  EXPECT_EQ(replay->body, res->body);
  EXPECT_EQ(sim.PaperMark(), mark);
  // The next document prints; its number follows the voided one.
  auto next = Post("/v1/printers/front/receipts", "next", kReceipt);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 201) << next->body;
  EXPECT_EQ(Json::parse(next->body)["receipt_number"], sim.DataItem(3));
}

// Two printers: one printer's work waits for nothing of the other's; a retry of a request
// still printing waits for that print.
TEST_F(BridgeTest, TwoPrintersPrintInParallel) {
  sim::Simulator& a = AddPrinter("PrinterA");
  sim::Simulator& b = AddPrinter("PrinterB");
  StartBridge({{"a", "PrinterA"}, {"b", "PrinterB"}});
  // Printer a stops answering (its state lock held: the line delivers, nothing is handled),
  // for less than the protocol's answer time-out.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> held;
  std::thread hold([&] {
    a.printer([&](sim::Printer&) {
      held.set_value();
      released.wait_for(2500ms);
    });
  });
  held.get_future().wait();
  auto on_a = std::async(std::launch::async,
                         [&] { return Post("/v1/printers/a/receipts", "on-a", kReceipt); });
  // Once a's worker is inside its receipt, b prints meanwhile, and status answers.
  for (int i = 0; i < 200; ++i) {
    auto s = Get("/v1/printers/a");
    if (s && Json::parse(s->body)["busy"] == true) break;
    std::this_thread::sleep_for(5ms);
  }
  const auto start = std::chrono::steady_clock::now();
  auto on_b = Post("/v1/printers/b/receipts", "on-b", kReceipt);
  auto status = Get("/v1/printers");
  // A client retry of a's request while it prints waits for the same print.
  auto retry_a = std::async(std::launch::async,
                            [&] { return Post("/v1/printers/a/receipts", "on-a", kReceipt); });
  const bool b_first = on_a.wait_for(0ms) != std::future_status::ready;
  release.set_value();
  hold.join();
  ASSERT_TRUE(on_b);
  EXPECT_EQ(on_b->status, 201) << on_b->body;
  EXPECT_TRUE(b_first) << "b waited for a";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
  ASSERT_TRUE(status);
  EXPECT_EQ(Json::parse(status->body)["printers"][0]["busy"], true);
  auto res_a = on_a.get();
  ASSERT_TRUE(res_a);
  EXPECT_EQ(res_a->status, 201) << res_a->body;
  auto res_retry = retry_a.get();
  ASSERT_TRUE(res_retry);
  EXPECT_EQ(res_retry->status, 201);
  EXPECT_EQ(res_retry->body, res_a->body);
  EXPECT_EQ(res_retry->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(a.DataItem(20), 1);
  EXPECT_EQ(b.DataItem(20), 1);
}

// A bridge that stopped mid-print left a 'started' row; the next start settles it with the
// printer's receipt state and counters.
class ReconcileTest : public BridgeTest {
 protected:
  // Runs `steps` on the printer through a control object of its own, then lets it go.
  void WithPrinter(const std::function<void(control::FiscalPrinter&)>& steps) {
    control::FiscalPrinter fp;
    ASSERT_EQ(fp.Open("KeloFPU"), 0) << fp.ErrorString();
    ASSERT_EQ(fp.ClaimDevice(3000), 0) << fp.ErrorString();
    fp.SetDeviceEnabled(true);
    steps(fp);
    fp.SetDeviceEnabled(false);
    (void)fp.ReleaseDevice();
    (void)fp.Close();
  }
  void AddStartedRow(const std::string& key, const std::string& body, int64_t receipts,
                     int64_t voided) {
    Journal journal;
    std::string error;
    ASSERT_TRUE(journal.Open(JournalPath(), &error)) << error;
    JournalRow row;
    row.key = key;
    row.path = "/v1/printers/front/receipts";
    row.printer = "front";
    row.kind = "receipt";
    row.body_hash = RequestHashOf(body);
    row.state = "started";
    row.counter_before = receipts;
    row.voided_before = voided;
    row.response = R"({"key":")" + key +
                   R"(","state":"printed","total":"1.00",)"
                   R"("paid":"1.00","change":"0.00"})";
    row.total = "1.00";
    ASSERT_TRUE(journal.Insert(row, &error)) << error;
  }
  static std::string RequestHashOf(const std::string& body) {
    return RequestHash("/v1/printers/front/receipts", Json::parse(body).dump());
  }
  std::optional<JournalRow> Row(const std::string& key) {
    Journal journal;
    std::string error;
    EXPECT_TRUE(journal.Open(JournalPath(), &error)) << error;
    return journal.Find(key);
  }
};

constexpr const char* kOneEuro = R"({"items":[{"description":"Tea","price":"1.00","vat":1}],)"
                                 R"("payments":[{"description":"Cash","amount":"1.00"}]})";

TEST_F(ReconcileTest, AReceiptLeftOpenIsVoidedAndItsKeyPrintsAfresh) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  const int64_t receipts = sim.DataItem(3);
  const int64_t voided = sim.DataItem(6);
  AddStartedRow("crashed", kOneEuro, receipts, voided);
  WithPrinter([](control::FiscalPrinter& fp) {
    ASSERT_EQ(fp.BeginFiscalReceipt(true), 0) << fp.ErrorString();
    ASSERT_EQ(fp.PrintRecItem("Tea", control::Currency(10000), 1, 1, control::Currency(0), ""), 0);
  });
  ASSERT_EQ(sim.DataItem(3), receipts + 1);  // the open receipt's number

  StartBridge({{"front", "KeloFPU"}});
  EXPECT_EQ(sim.DataItem(6), voided + 1);  // voided at start
  EXPECT_FALSE(Row("crashed").has_value());
  // Nothing was printed for it, so the client's retry prints it now.
  auto res = Post("/v1/printers/front/receipts", "crashed", kOneEuro);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 201) << res->body;
  EXPECT_EQ(Json::parse(res->body)["receipt_number"], receipts + 2);
  EXPECT_EQ(sim.DataItem(20), 1);
}

// A voided receipt moves the receipt counter too (and the voided counter with it): that is
// not a print.
TEST_F(ReconcileTest, AReceiptVoidedMeanwhileIsNotTakenForPrinted) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  const int64_t receipts = sim.DataItem(3);
  AddStartedRow("voided", kOneEuro, receipts, sim.DataItem(6));
  WithPrinter([](control::FiscalPrinter& fp) {
    ASSERT_EQ(fp.BeginFiscalReceipt(true), 0) << fp.ErrorString();
    ASSERT_EQ(fp.PrintRecItem("Tea", control::Currency(10000), 1, 1, control::Currency(0), ""), 0);
    ASSERT_EQ(fp.PrintRecVoid("VOID"), 0) << fp.ErrorString();
    ASSERT_EQ(fp.EndFiscalReceipt(false), 0) << fp.ErrorString();
  });
  ASSERT_EQ(sim.DataItem(3), receipts + 1);

  StartBridge({{"front", "KeloFPU"}});
  EXPECT_FALSE(Row("voided").has_value());
  EXPECT_EQ(sim.DataItem(20), 0);
}

TEST_F(ReconcileTest, AReceiptThatEndedIsRecordedPrintedAndReplayed) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  const int64_t receipts = sim.DataItem(3);
  AddStartedRow("ended", kOneEuro, receipts, sim.DataItem(6));
  WithPrinter([](control::FiscalPrinter& fp) {
    ASSERT_EQ(fp.BeginFiscalReceipt(true), 0) << fp.ErrorString();
    ASSERT_EQ(fp.PrintRecItem("Tea", control::Currency(10000), 1, 1, control::Currency(0), ""), 0);
    ASSERT_EQ(fp.PrintRecTotal(control::Currency(10000), control::Currency(10000), "Cash"), 0);
    ASSERT_EQ(fp.EndFiscalReceipt(false), 0) << fp.ErrorString();
  });

  StartBridge({{"front", "KeloFPU"}});
  const auto row = Row("ended");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->state, "printed");
  EXPECT_EQ(row->receipt_number, receipts + 1);
  const size_t mark = sim.PaperMark();
  auto res = Post("/v1/printers/front/receipts", "ended", kOneEuro);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 201) << res->body;
  const Json body = Json::parse(res->body);
  EXPECT_EQ(body["receipt_number"], receipts + 1);
  EXPECT_EQ(body["recovered"], true);
  EXPECT_EQ(res->get_header_value("Idempotent-Replayed"), "true");
  EXPECT_EQ(sim.PaperMark(), mark);
  EXPECT_EQ(sim.DataItem(20), 1);
}

// Stopped after the payment, before the end: such a receipt cannot be voided, the start ends
// it, and the key is answered as printed (its retry must not print the document again).
TEST_F(ReconcileTest, AReceiptPaidInFullIsEndedAndRecordedPrinted) {
  sim::Simulator& sim = AddPrinter("KeloFPU");
  const int64_t receipts = sim.DataItem(3);
  AddStartedRow("paid", kOneEuro, receipts, sim.DataItem(6));
  WithPrinter([](control::FiscalPrinter& fp) {
    ASSERT_EQ(fp.BeginFiscalReceipt(true), 0) << fp.ErrorString();
    ASSERT_EQ(fp.PrintRecItem("Tea", control::Currency(10000), 1, 1, control::Currency(0), ""), 0);
    ASSERT_EQ(fp.PrintRecTotal(control::Currency(10000), control::Currency(10000), "Cash"), 0);
  });

  StartBridge({{"front", "KeloFPU"}});
  const auto row = Row("paid");
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->state, "printed");
  auto res = Post("/v1/printers/front/receipts", "paid", kOneEuro);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 201) << res->body;
  EXPECT_EQ(Json::parse(res->body)["receipt_number"], receipts + 1);
  EXPECT_EQ(sim.DataItem(20), 1);  // one sale, not two
}

}  // namespace
}  // namespace kelo::bridge

namespace kelo::bridge {
namespace {

// The configuration file: each refusal names its key, and a non-loopback address needs a
// token (also when the configuration is built in code and handed to Bridge).
TEST(BridgeConfigTest, RefusalsNameTheKeyAndRemoteListeningNeedsAToken) {
  const std::string printers = R"("printers":[{"name":"front","device":"KeloFPU"}])";
  struct Case {
    std::string text;
    std::string error_starts;  // "" = accepted
  };
  const std::vector<Case> cases = {
      {R"({"listen":"127.0.0.1:8089","journal":"j.db",)" + printers + "}", ""},
      {R"({"listen":"[::1]:8089","journal":"j.db",)" + printers + "}", ""},
      {R"({"listen":"0.0.0.0:8089","journal":"j.db","token":"t",)" + printers + "}", ""},
      {R"({"listen":"0.0.0.0:8089","journal":"j.db",)" + printers + "}", "token:"},
      {R"({"listen":"192.168.1.5:8089","journal":"j.db","token":"",)" + printers + "}", "token:"},
      {R"({"listen":"127.0.0.1:8089","journal":"j.db","colour":1,)" + printers + "}", "colour:"},
      {R"({"listen":"127.0.0.1:99999","journal":"j.db",)" + printers + "}", "listen:"},
      {R"({"listen":"127.0.0.1:8089","journal":"j.db","printers":[]})", "printers:"},
      {R"({"listen":"127.0.0.1:8089","journal":"j.db","printers":[{"name":"a/b","device":"K"}]})",
       "printers[0].name:"},
      {R"({"listen":"127.0.0.1:8089","journal":"j.db","printers":[{"name":"a","device":"K"},)"
       R"({"name":"a","device":"L"}]})",
       "printers[1].name:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BridgeConfig config;
    std::string error;
    const bool ok = ParseBridgeConfig(c.text, &config, &error);
    EXPECT_EQ(ok, c.error_starts.empty()) << error;
    if (!c.error_starts.empty()) {
      EXPECT_EQ(error.rfind(c.error_starts, 0), 0u) << error;
    }
  }
  BridgeConfig remote;
  remote.listen_host = "0.0.0.0";
  remote.journal_path = "/nonexistent/j.db";
  remote.printers = {{"front", "KeloFPU"}};
  Bridge bridge(remote);
  std::string error;
  EXPECT_FALSE(bridge.Start(&error));
  EXPECT_NE(error.find("without a token"), std::string::npos) << error;
}

}  // namespace
}  // namespace kelo::bridge
