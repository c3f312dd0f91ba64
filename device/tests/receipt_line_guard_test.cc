// The guard against a second sale after lost answers, driven by scripted reads and sends.
#include "device/receipt_line_guard.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "link/fpu_frame.h"

namespace kelo::device {
namespace {

const std::string kLineA = std::string("S\x1F") + "A";
const std::string kLineB = std::string("S\x1F") + "B";
const std::string kPayment = std::string("P\x1F") + "Cash";

// A printer as the guard sees it: the amount still to pay, and what each send does.
struct ScriptedPrinter {
  int64_t remaining = 1000;
  int reads = 0;
  int sends = 0;
  int32_t read_result = link::LINK_OK;
  // Outcome of each coming send: true = the printer does the line; the link result given.
  std::deque<std::pair<bool, int32_t>> sends_script;

  ReceiptLineGuard::ReadAmount Reader() {
    return [this](int64_t* amount) {
      ++reads;
      if (read_result == link::LINK_OK) *amount = remaining;
      return read_result;
    };
  }
  ReceiptLineGuard::Send Sender(int64_t price) {
    return [this, price] {
      ++sends;
      auto [done, result] =
          sends_script.empty() ? std::make_pair(true, link::LINK_OK) : sends_script.front();
      if (!sends_script.empty()) sends_script.pop_front();
      if (done) remaining += price;
      return result;
    };
  }
};

TEST(ReceiptLineGuard, UnarmedSendsOnceWithoutReadingAndRemembersNothing) {
  ReceiptLineGuard guard;
  ScriptedPrinter p;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}, {true, link::LINK_OK}};
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_TIMEOUT);
  // Without an amount from before, a second call cannot be judged: it is sent.
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.reads, 0);
  EXPECT_EQ(p.sends, 2);
  EXPECT_EQ(guard.counters().unanswered, 0u);
}

TEST(ReceiptLineGuard, LineDoneButUnansweredIsNotSentAgain) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // Three damaged answers leave the outcome as open as three lost ones.
  p.sends_script = {{true, link::LINK_E_CHECK}};
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_CHECK);
  EXPECT_EQ(p.remaining, 1250);
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.sends, 1);
  EXPECT_EQ(p.remaining, 1250);
  EXPECT_EQ(guard.counters().found_done, 1u);
  // Resolved: the same line once more, from the next operation, is a new sale.
  guard.NewCommand();
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.remaining, 1500);
}

TEST(ReceiptLineGuard, LineThatNeverArrivedIsSentWhenItComesAgain) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.sends_script = {{false, link::LINK_E_TIMEOUT}, {false, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_TIMEOUT);
  // Sent again and lost again: still pending with the amount from the first time.
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_TIMEOUT);
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.sends, 3);
  EXPECT_EQ(p.remaining, 1250);
  EXPECT_EQ(guard.counters().sent_again, 2u);
  EXPECT_EQ(guard.counters().found_done, 0u);
}

TEST(ReceiptLineGuard, UnreadableAmountSendsNothing) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.read_result = link::LINK_E_TIMEOUT;
  // Armed, a line whose amount cannot be read first is not sent at all.
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.sends, 0);

  // A pending line stays pending while the printer cannot be asked.
  p.read_result = link::LINK_OK;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_TIMEOUT);
  p.read_result = link::LINK_E_TIMEOUT;
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_TIMEOUT);
  p.read_result = link::LINK_OK;
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.sends, 1);
  EXPECT_EQ(p.remaining, 1250);
}

TEST(ReceiptLineGuard, AnotherLineOrAStructuralCommandEndsThePendingLine) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  guard.Run(kLineA, p.Reader(), p.Sender(250));
  EXPECT_EQ(guard.Run(kLineB, p.Reader(), p.Sender(100)), link::LINK_OK);
  // A is no longer the last thing asked for: the next operation asks for another A.
  guard.NewCommand();
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.remaining, 1600);

  guard.NewCommand();
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  guard.Run(kLineA, p.Reader(), p.Sender(250));
  guard.Forget();
  guard.NewCommand();
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.remaining, 2100);
  EXPECT_EQ(guard.counters().found_done, 0u);
}

TEST(ReceiptLineGuard, RetryOfAnOperationSkipsTheLinesItGotDone) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // The operation's payment goes through; a later line of it fails, and the queue retries
  // the operation: the payment is not made again.
  guard.NewCommand();
  EXPECT_EQ(guard.Run(kPayment, p.Reader(), p.Sender(-300)), link::LINK_OK);
  EXPECT_EQ(guard.Run(kPayment, p.Reader(), p.Sender(-300)), link::LINK_OK);
  EXPECT_EQ(p.remaining, 700);
  EXPECT_EQ(guard.counters().skipped, 1u);
  // The next operation may pay the same again.
  guard.NewCommand();
  EXPECT_EQ(guard.Run(kPayment, p.Reader(), p.Sender(-300)), link::LINK_OK);
  EXPECT_EQ(p.remaining, 400);
  // Unarmed (synchronous calls) nothing is skipped.
  guard.Arm(false);
  EXPECT_EQ(guard.Run(kPayment, p.Reader(), p.Sender(-300)), link::LINK_OK);
  EXPECT_EQ(guard.Run(kPayment, p.Reader(), p.Sender(-300)), link::LINK_OK);
  EXPECT_EQ(p.remaining, -200);
}

TEST(ReceiptLineGuard, RefusalIsFinalAndNotRemembered) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // A refusal by reply code is an answer: the printer did not do the line.
  p.sends_script = {{false, link::LINK_E_REPLY83}, {true, link::LINK_OK}};
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_E_REPLY83);
  EXPECT_EQ(guard.Run(kLineA, p.Reader(), p.Sender(250)), link::LINK_OK);
  EXPECT_EQ(p.sends, 2);
  EXPECT_EQ(guard.counters().unanswered, 0u);
}

}  // namespace
}  // namespace kelo::device
