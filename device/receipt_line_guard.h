// Keeps a receipt line from being done twice when the printer's answer to it was lost.
//
// A command whose three answers all went missing (or arrived damaged) ends in a link failure
// although the printer may well have done it; the link starts over with sequence number 0
// afterwards, so the printer no longer recognises a second send as a resend and would do the
// line again. The asynchronous queue arms the guard, where an ErrorEvent answered with retry
// runs the same operation again.
//
// The guard knows the amount still to pay without asking the printer: the figure the printer
// last gave, plus what every line it acknowledged since is sure to change (a sale adds its
// price, a void or an amount discount takes its amount off, a payment takes the amount paid;
// a subtotal changes nothing). So on the path where answers arrive no line costs a read. The
// printer is read only
// - after a line whose effect only the printer knows (a percentage adjustment), or after an
//   exchange the guard did not see (a reconnection, a raw command): before the next guarded
//   line, while armed;
// - when a line whose answer was lost comes again before anything else changed the receipt:
//   the amount read then decides. Unchanged means the line never arrived, so it is sent now;
//   moved by what the line is sure to change (or, for a percentage, moved at all) means the
//   printer did it, so it is not sent again and counts as done. Any other figure fits
//   neither: the guard does not guess, sends nothing and answers kUndecided; the line stays
//   pending, so a further retry is judged the same way.
// A subtotal moves no amount: for it the printer's copy of the receipt tells. The printer
// prints a subtotal as one line, the word SUBTOTAL and the amount; when the copy ends with
// such a line and the line printed before the subtotal was none, the subtotal was done; when
// it does not end with one, it was not. When the line before was a subtotal line itself (or
// is not known) the copy cannot tell, and the guard answers kUndecided.
//
// A retry runs the whole queued operation again, and an operation may send several lines (a
// payment and the end of payment, an item and its PostLine): the guard also remembers the
// lines an operation got done, and while the queue retries that operation they are not sent
// a second time. NewCommand starts that memory afresh for the next queued operation.
//
// A line that moves nothing read (a price of zero) cannot be told apart and is sent again.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/fpu_frame.h"

namespace kelo::device {

class ReceiptLineGuard {
 public:
  // Answered when the figure read fits neither "done" nor "not done": nothing was sent.
  static constexpr int32_t kUndecided = link::LINK_E_PROTOCOL;

  // Reads the amount still to pay into *amount; a link result (0 = read).
  using ReadAmount = std::function<int32_t(int64_t* amount)>;
  // Reads the printer's copy of the open receipt; a link result.
  using ReadTicket = std::function<int32_t(std::string* text)>;
  // Sends the line; a link result.
  using Send = std::function<int32_t()>;

  struct Readers {
    ReadAmount amount;
    ReadTicket ticket;
  };

  // One guarded line.
  struct Line {
    enum class Effect {
      kSure,      // change below, in a sales receipt
      kRefund,    // change below in a sales receipt, the opposite in a refund document
      kPrinter,   // only the printer knows (a percentage)
      kSubtotal,  // moves no amount; prints a subtotal line
    };
    std::string key;  // identifies the line (kind and every field sent)
    Effect effect = Effect::kSure;
    int64_t change = 0;
  };

  struct Counters {
    uint64_t unanswered = 0;  // guarded lines that ended without an answer
    uint64_t found_done = 0;  // ... found done on the printer when they came again
    uint64_t sent_again = 0;  // ... found not done and sent again
    uint64_t undecided = 0;   // ... whose figure fitted neither, so nothing was sent
    uint64_t skipped = 0;     // done earlier by the operation being retried
    uint64_t reads = 0;       // figures read before a line because the amount was not known
  };

  // Armed: a line whose answer is lost is remembered, the amount is made known before each
  // guarded line, and the lines done since NewCommand are skipped. Disarming forgets those.
  void Arm(bool on);
  // The next queued operation starts (not a retry of the last one).
  void NewCommand();

  // Answers the link result of the line: 0 also when an earlier send of the same line is
  // found done on the printer; kUndecided as described above.
  int32_t Run(const Line& line, const Readers& read, const Send& send);

  // A receipt was opened (ok) or the attempt failed: nothing to pay yet on a new one.
  void ReceiptOpened(bool ok, bool refund_document);
  // Something other than a guarded line changed (or may have changed) the receipt: a pending
  // line is no longer the last thing the application asked for, and the amount is unknown.
  void Forget();
  // Text the printer printed on the receipt (a message, the total): whether its last line
  // looks like a subtotal line matters to a later lost subtotal.
  void NotePrinted(std::string_view text);
  // The amount still to pay as read from the printer outside the guard.
  void Observe(int64_t remaining);
  // The amount still to pay when known without asking the printer.
  std::optional<int64_t> KnownRemaining() const;

  Counters counters() const;

  // Whether a printed line is a subtotal line: the word SUBTOTAL and one amount.
  static bool IsSubtotalLine(std::string_view line);

 private:
  struct Pending {
    std::string key;
    std::optional<int64_t> amount_before;  // the amount to pay before the line was sent
    std::optional<bool> subtotal_before;   // whether the line before was a subtotal line
  };
  enum class Verdict { kDone, kNotDone, kUndecided };

  // The change the line is sure to make, or nothing when only the printer knows.
  std::optional<int64_t> SureChange(const Line& line) const;

  // Guards everything below; held across the reads and the send of one guarded line so
  // that the amount read and the line belong together. Taken before the device's engine
  // lock; never taken with another lock of the device layer held.
  mutable std::mutex mu_;
  bool armed_ = false;
  std::optional<Pending> pending_;
  std::optional<int64_t> remaining_;           // the amount still to pay, when known
  std::optional<bool> refund_document_;        // the kind of the open receipt, when known
  std::optional<bool> last_subtotal_ = false;  // the last printed line was a subtotal line
  std::vector<std::string> done_in_command_;   // lines done since NewCommand (armed only)
  Counters counters_;
};

}  // namespace kelo::device
