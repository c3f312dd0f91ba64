// The guard against a second sale after lost answers, driven by scripted reads and sends.
#include "device/receipt_line_guard.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "link/fpu_frame.h"

namespace kelo::device {
namespace {

using Effect = ReceiptLineGuard::Line::Effect;

ReceiptLineGuard::Line Sale(const std::string& name, int64_t price) {
  return {"S\x1F" + name, Effect::kSure, price};
}
ReceiptLineGuard::Line Payment(int64_t amount) {
  return {"P\x1F" + std::to_string(amount), Effect::kSure, -amount};
}
ReceiptLineGuard::Line Percent(const std::string& name) {
  return {"T\x1F" + name, Effect::kPrinter, 0};
}
const ReceiptLineGuard::Line kSubtotal{"s", Effect::kSubtotal, 0};

// A printer as the guard sees it: the amount still to pay, its copy of the receipt, and what
// each send does.
struct ScriptedPrinter {
  int64_t remaining = 1000;
  std::string ticket = "ITEM  10.00\n";
  int reads = 0;
  int ticket_reads = 0;
  int sends = 0;
  int32_t read_result = link::LINK_OK;
  // Outcome of each coming send: true = the printer does the line; the link result given.
  std::deque<std::pair<bool, int32_t>> sends_script;

  ReceiptLineGuard::Readers Readers() {
    return {[this](int64_t* amount) {
              ++reads;
              if (read_result == link::LINK_OK) *amount = remaining;
              return read_result;
            },
            [this](std::string* text) {
              ++ticket_reads;
              if (read_result == link::LINK_OK) *text = ticket;
              return read_result;
            }};
  }
  // change: what the printer really does to the amount; printed: the line it prints.
  ReceiptLineGuard::Send Sender(int64_t change, const std::string& printed = "LINE") {
    return [this, change, printed] {
      ++sends;
      auto [done, result] =
          sends_script.empty() ? std::make_pair(true, link::LINK_OK) : sends_script.front();
      if (!sends_script.empty()) sends_script.pop_front();
      if (done) {
        remaining += change;
        ticket += printed + "\n";
      }
      return result;
    };
  }
  int32_t Run(ReceiptLineGuard& guard, const ReceiptLineGuard::Line& line, int64_t change,
              const std::string& printed = "LINE") {
    return guard.Run(line, Readers(), Sender(change, printed));
  }
};

TEST(ReceiptLineGuard, UnarmedSendsOnceWithoutReadingAndRemembersNothing) {
  ReceiptLineGuard guard;
  ScriptedPrinter p;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}, {true, link::LINK_OK}};
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  // Without an amount from before, a second call cannot be judged: it is sent.
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.reads, 0);
  EXPECT_EQ(p.sends, 2);
  EXPECT_EQ(guard.counters().unanswered, 0u);
}

TEST(ReceiptLineGuard, AnsweredLinesCostNoReadOnlyAPercentageDoes) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // The first line learns the amount once; from then on the acknowledged lines carry it.
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.Run(guard, Sale("B", 100), 100), link::LINK_OK);
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL  13.50"), link::LINK_OK);
  EXPECT_EQ(p.reads, 1);
  EXPECT_EQ(guard.KnownRemaining(), 1350);
  // A percentage's amount only the printer knows: the next line reads it first.
  EXPECT_EQ(p.Run(guard, Percent("10%"), -135), link::LINK_OK);
  EXPECT_EQ(guard.KnownRemaining(), std::nullopt);
  EXPECT_EQ(p.Run(guard, Payment(1000), -1000), link::LINK_OK);
  guard.NewCommand();
  EXPECT_EQ(p.Run(guard, Payment(215), -215), link::LINK_OK);
  EXPECT_EQ(p.reads, 2);
  EXPECT_EQ(guard.KnownRemaining(), 0);
  EXPECT_EQ(p.ticket_reads, 0);
  // A new receipt starts at nothing to pay: no read at all.
  guard.ReceiptOpened(true, false);
  EXPECT_EQ(p.Run(guard, Sale("C", 50), 50), link::LINK_OK);
  EXPECT_EQ(p.reads, 2);
  // Something the guard did not see: the amount is read again before the next line.
  guard.Forget();
  EXPECT_EQ(p.Run(guard, Sale("D", 50), 50), link::LINK_OK);
  EXPECT_EQ(p.reads, 3);
  EXPECT_EQ(guard.counters().reads, 3u);
}

TEST(ReceiptLineGuard, LineDoneButUnansweredIsNotSentAgain) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // Three damaged answers leave the outcome as open as three lost ones.
  p.sends_script = {{true, link::LINK_E_CHECK}};
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_CHECK);
  EXPECT_EQ(p.remaining, 1250);
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.sends, 1);
  EXPECT_EQ(p.remaining, 1250);
  EXPECT_EQ(guard.counters().found_done, 1u);
  EXPECT_EQ(guard.KnownRemaining(), 1250);
  // Resolved: the same line once more, from the next operation, is a new sale.
  guard.NewCommand();
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.remaining, 1500);
}

TEST(ReceiptLineGuard, LineThatNeverArrivedIsSentWhenItComesAgain) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.sends_script = {{false, link::LINK_E_TIMEOUT}, {false, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  // Sent again and lost again: still pending with the amount from the first time.
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.sends, 3);
  EXPECT_EQ(p.remaining, 1250);
  EXPECT_EQ(guard.counters().sent_again, 2u);
  EXPECT_EQ(guard.counters().found_done, 0u);
}

TEST(ReceiptLineGuard, FigureFittingNeitherOutcomeSendsNothing) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  p.remaining += 7;  // moved, but not by the sale's price
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), ReceiptLineGuard::kUndecided);
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), ReceiptLineGuard::kUndecided);
  EXPECT_EQ(p.sends, 1);
  EXPECT_EQ(guard.counters().undecided, 2u);
  // Another line is judged on the figure read.
  EXPECT_EQ(p.Run(guard, Sale("B", 100), 100), link::LINK_OK);
  EXPECT_EQ(guard.KnownRemaining(), p.remaining);
}

TEST(ReceiptLineGuard, UnreadableAmountSendsNothing) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.read_result = link::LINK_E_TIMEOUT;
  // Armed, a line whose amount is not known and cannot be read is not sent at all.
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.sends, 0);

  // A pending line stays pending while the printer cannot be asked.
  p.read_result = link::LINK_OK;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  p.read_result = link::LINK_E_TIMEOUT;
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_TIMEOUT);
  p.read_result = link::LINK_OK;
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.sends, 1);
  EXPECT_EQ(p.remaining, 1250);
}

TEST(ReceiptLineGuard, LostPercentageThenLostSaleAreEachDoneOnce) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  guard.ReceiptOpened(true, false);
  p.remaining = 0;
  EXPECT_EQ(p.Run(guard, Sale("A", 1000), 1000), link::LINK_OK);
  // The percentage is done but its answer lost: moved at all means done.
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, Percent("10%"), -100), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.Run(guard, Percent("10%"), -100), link::LINK_OK);
  // The next sale never arrives, then is sent again and done.
  p.sends_script = {{false, link::LINK_E_TIMEOUT}};
  guard.NewCommand();
  EXPECT_EQ(p.Run(guard, Sale("B", 300), 300), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.Run(guard, Sale("B", 300), 300), link::LINK_OK);
  EXPECT_EQ(p.remaining, 1200);
  EXPECT_EQ(p.sends, 4);
  EXPECT_EQ(guard.counters().found_done, 1u);
  EXPECT_EQ(guard.counters().sent_again, 1u);
  EXPECT_EQ(guard.KnownRemaining(), 1200);
}

TEST(ReceiptLineGuard, LostSubtotalIsJudgedByTheLastLineOfTheReceipt) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // Done: the copy ends with a subtotal line that was not there before.
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL   10.00"), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL   10.00"), link::LINK_OK);
  EXPECT_EQ(p.sends, 1);
  // Not done: the copy ends with the line before.
  guard.NewCommand();
  guard.NotePrinted("THANK YOU");
  p.ticket += "THANK YOU\n";
  p.sends_script = {{false, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL   10.00"), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL   10.00"), link::LINK_OK);
  EXPECT_EQ(p.sends, 3);
  EXPECT_EQ(p.ticket_reads, 2);
  // Right after a subtotal line the copy cannot tell: nothing is sent.
  guard.NewCommand();
  p.sends_script = {{false, link::LINK_E_TIMEOUT}};
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL   10.00"), link::LINK_E_TIMEOUT);
  EXPECT_EQ(p.Run(guard, kSubtotal, 0, "SUBTOTAL   10.00"), ReceiptLineGuard::kUndecided);
  EXPECT_EQ(p.sends, 4);
  EXPECT_EQ(p.reads, 0);  // a subtotal never needs the amount
}

TEST(ReceiptLineGuard, SubtotalLineIsTheWordAndOneAmount) {
  EXPECT_TRUE(ReceiptLineGuard::IsSubtotalLine("SUBTOTAL        12.50"));
  EXPECT_TRUE(ReceiptLineGuard::IsSubtotalLine("  SUBTOTAL -0,05  "));
  EXPECT_FALSE(ReceiptLineGuard::IsSubtotalLine("SUBTOTAL DISCOUNT 10.00%   -1.25"));
  EXPECT_FALSE(ReceiptLineGuard::IsSubtotalLine("SUBTOTALS 12.50"));
  EXPECT_FALSE(ReceiptLineGuard::IsSubtotalLine("SUBTOTAL"));
  EXPECT_FALSE(ReceiptLineGuard::IsSubtotalLine("ITEM 12.50"));
}

TEST(ReceiptLineGuard, AnotherLineOrAStructuralCommandEndsThePendingLine) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  p.Run(guard, Sale("A", 250), 250);
  EXPECT_EQ(p.Run(guard, Sale("B", 100), 100), link::LINK_OK);
  // A is no longer the last thing asked for: the next operation asks for another A.
  guard.NewCommand();
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.remaining, 1600);

  guard.NewCommand();
  p.sends_script = {{true, link::LINK_E_TIMEOUT}};
  p.Run(guard, Sale("A", 250), 250);
  guard.Forget();
  guard.NewCommand();
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
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
  EXPECT_EQ(p.Run(guard, Payment(300), -300), link::LINK_OK);
  EXPECT_EQ(p.Run(guard, Payment(300), -300), link::LINK_OK);
  EXPECT_EQ(p.remaining, 700);
  EXPECT_EQ(guard.counters().skipped, 1u);
  // The next operation may pay the same again.
  guard.NewCommand();
  EXPECT_EQ(p.Run(guard, Payment(300), -300), link::LINK_OK);
  EXPECT_EQ(p.remaining, 400);
  // Unarmed (synchronous calls) nothing is skipped.
  guard.Arm(false);
  EXPECT_EQ(p.Run(guard, Payment(300), -300), link::LINK_OK);
  EXPECT_EQ(p.Run(guard, Payment(300), -300), link::LINK_OK);
  EXPECT_EQ(p.remaining, -200);
  EXPECT_EQ(guard.KnownRemaining(), -200);
}

TEST(ReceiptLineGuard, RefusalIsFinalAndNotRemembered) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  // A refusal by reply code is an answer: the printer did not do the line.
  p.sends_script = {{false, link::LINK_E_REPLY83}, {true, link::LINK_OK}};
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_E_REPLY83);
  EXPECT_EQ(p.Run(guard, Sale("A", 250), 250), link::LINK_OK);
  EXPECT_EQ(p.sends, 2);
  EXPECT_EQ(guard.counters().unanswered, 0u);
  EXPECT_EQ(guard.KnownRemaining(), 1250);
}

TEST(ReceiptLineGuard, RefundLinesFollowTheReceiptKind) {
  ReceiptLineGuard guard;
  guard.Arm(true);
  ScriptedPrinter p;
  const ReceiptLineGuard::Line refund{
      "R\x1F"
      "X",
      Effect::kRefund, -200};
  guard.ReceiptOpened(true, false);
  p.remaining = 0;
  p.Run(guard, Sale("A", 500), 500);
  p.Run(guard, refund, -200);
  EXPECT_EQ(guard.KnownRemaining(), 300);
  guard.ReceiptOpened(true, true);  // a refund document: the refund is what it pays back
  guard.NewCommand();
  p.remaining = 0;
  p.Run(guard, refund, 200);
  EXPECT_EQ(guard.KnownRemaining(), 200);
  EXPECT_EQ(p.reads, 0);
}

}  // namespace
}  // namespace kelo::device
