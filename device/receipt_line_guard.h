// Keeps a receipt line from being done twice when the printer's answer to it was lost.
//
// A command whose three answers all went missing (or arrived damaged) ends in a link failure
// although the printer may well have done it; the link starts over with sequence number 0
// afterwards, so the printer no longer recognises a second send as a resend and would do the
// line again. The guard therefore reads a figure the line is sure to move before each
// guarded line while it is armed: the amount still to pay, or for a subtotal line (which
// moves no amount) the length of the printer's copy of the receipt. The asynchronous queue
// arms it, where an ErrorEvent answered with retry runs the same operation again. A line
// that ended without a valid answer is remembered with that figure; when the very same line
// comes again before anything else changed the receipt, the figure is read once more: moved
// means the printer did the line, so it is not sent again and counts as done; unchanged
// means it never arrived, so it is sent now.
//
// A retry runs the whole queued operation again, and an operation may send several lines (a
// payment and the end of payment, an item and its PostLine): the guard also remembers the
// lines an operation got done, and while the queue retries that operation they are not sent
// a second time. NewCommand starts that memory afresh for the next queued operation.
//
// A line that moves nothing read (a price of zero) cannot be told apart and is sent again.
// Structural commands (open, close, void, end of payment) forget the pending line.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kelo::device {

class ReceiptLineGuard {
 public:
  // Reads the figure the line moves into *amount; a link result (0 = read).
  using ReadAmount = std::function<int32_t(int64_t* amount)>;
  // Sends the line; a link result.
  using Send = std::function<int32_t()>;

  struct Counters {
    uint64_t unanswered = 0;  // guarded lines that ended without an answer
    uint64_t found_done = 0;  // ... found done on the printer when they came again
    uint64_t sent_again = 0;  // ... found not done and sent again
    uint64_t skipped = 0;     // done earlier by the operation being retried
  };

  // Armed: read the figure before each guarded line (one read more per line), and skip
  // the lines done since NewCommand. Disarming forgets those lines.
  void Arm(bool on);
  // The next queued operation starts (not a retry of the last one).
  void NewCommand();

  // key identifies the line (kind and every field sent). Answers the link result of the
  // line: 0 also when an earlier send of the same line is found done on the printer.
  int32_t Run(const std::string& key, const ReadAmount& read, const Send& send);

  // Something other than a guarded line changed the receipt: a pending line is no longer
  // the last thing the application asked for.
  void Forget();

  Counters counters() const;

 private:
  struct Pending {
    std::string key;
    int64_t amount_before = 0;
  };
  // Guards everything below; held across the reads and the send of one guarded line so
  // that the amount read and the line belong together. Taken before the device's engine
  // lock; never taken with another lock of the device layer held.
  mutable std::mutex mu_;
  bool armed_ = false;
  std::optional<Pending> pending_;
  std::vector<std::string> done_in_command_;  // lines done since NewCommand (armed only)
  Counters counters_;
};

}  // namespace kelo::device
