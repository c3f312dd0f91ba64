// A scripted printer on the fake line: decodes each command frame the driver writes and
// answers it according to a queue of named actions (answer, busy, in progress, bad check code,
// wrong kind, stale sequence, silence, raw bytes), falling back to a plain "done" answer.
#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/fpu_frame.h"
#include "testing/fake_serial_os.h"

namespace kelo::link::testing {

struct SentCommand {
  uint8_t kind = 0;
  uint8_t sequence = 0;
  uint8_t job = 0;
  uint8_t opcode = 0;
  std::string payload;
  uint32_t tick = 0;  // virtual time of the write
};

struct Action {
  enum Type { kAnswer, kSilence, kRaw } type = kAnswer;
  uint8_t kind = kResponseKindNormal;
  int sequence = -1;  // -1: echo the command's
  int job = -1;       // -1: echo
  int opcode = -1;    // -1: echo
  uint8_t reply = kReplyDone;
  uint32_t status = 0;
  uint8_t fatal = 0;
  std::string payload;
  bool bad_check = false;
  uint32_t delay_ms = 1;
  std::vector<uint8_t> raw;  // kRaw: sent as it is
};

inline std::vector<uint8_t> ResponseFrame(uint8_t kind, uint8_t sequence, uint8_t job,
                                          uint8_t opcode, uint8_t reply, uint32_t status = 0,
                                          const std::string& payload = "", uint8_t fatal = 0) {
  std::vector<uint8_t> data = {job,
                               opcode,
                               fatal,
                               static_cast<uint8_t>(status >> 24),
                               static_cast<uint8_t>(status >> 16),
                               static_cast<uint8_t>(status >> 8),
                               static_cast<uint8_t>(status),
                               reply};
  data.insert(data.end(), payload.begin(), payload.end());
  return EncodeFrame(kind, sequence, data);
}

inline Action Answer(std::string payload = "", uint8_t reply = kReplyDone, uint32_t status = 0) {
  Action a;
  a.payload = std::move(payload);
  a.reply = reply;
  a.status = status;
  return a;
}
inline Action Busy() {
  return Answer("", kReplyBusy);
}
inline Action InProgress(uint32_t status = 0) {
  return Answer("", kReplyInProgress, status);
}
inline Action Silence() {
  Action a;
  a.type = Action::kSilence;
  return a;
}
inline Action Raw(std::vector<uint8_t> bytes) {
  Action a;
  a.type = Action::kRaw;
  a.raw = std::move(bytes);
  return a;
}
inline Action OfKind(uint8_t kind) {
  Action a;
  a.kind = kind;
  return a;
}
inline Action BadCheck() {
  Action a;
  a.bad_check = true;
  return a;
}

class ScriptedPrinter {
 public:
  explicit ScriptedPrinter(FakeSerialOs& os, platform::FakeClock& clock) : os_(os), clock_(clock) {
    os_.SetResponder([this](const std::vector<uint8_t>& w) { OnWrite(w); });
  }

  void Then(Action a) { script_.push_back(std::move(a)); }
  void Then(int times, const Action& a) {
    for (int i = 0; i < times; ++i) script_.push_back(a);
  }
  // Default payload per opcode when no scripted action is left.
  void Payload(uint8_t opcode, std::string payload) { payloads_[opcode] = std::move(payload); }

  std::vector<SentCommand> received;
  size_t pending() const { return script_.size(); }

 private:
  void OnWrite(const std::vector<uint8_t>& written) {
    FrameView view;
    SentCommand sent;
    sent.tick = clock_.TickMs();
    if (DecodeFrame(written, &view) == LINK_OK && view.data.size() >= 3) {
      sent.kind = view.kind;
      sent.sequence = view.sequence;
      sent.job = view.data[1];
      sent.opcode = view.data[2];
      sent.payload.assign(view.data.begin() + 3, view.data.end());
    }
    received.push_back(sent);
    Action a;
    if (!script_.empty()) {
      a = script_.front();
      script_.pop_front();
    } else {
      auto it = payloads_.find(sent.opcode);
      if (it != payloads_.end()) a.payload = it->second;
    }
    switch (a.type) {
      case Action::kSilence:
        return;
      case Action::kRaw:
        os_.Deliver(a.raw, a.delay_ms);
        return;
      case Action::kAnswer:
        break;
    }
    auto frame =
        ResponseFrame(a.kind, static_cast<uint8_t>(a.sequence >= 0 ? a.sequence : sent.sequence),
                      static_cast<uint8_t>(a.job >= 0 ? a.job : sent.job),
                      static_cast<uint8_t>(a.opcode >= 0 ? a.opcode : sent.opcode), a.reply,
                      a.status, a.payload, a.fatal);
    if (a.bad_check) frame.back() ^= 0x5A;
    os_.Deliver(frame, a.delay_ms);
  }

  FakeSerialOs& os_;
  platform::FakeClock& clock_;
  std::deque<Action> script_;
  std::map<uint8_t, std::string> payloads_;
};

}  // namespace kelo::link::testing
