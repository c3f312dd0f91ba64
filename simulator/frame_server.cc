#include "simulator/frame_server.h"

#include <algorithm>

namespace kelo::sim {
namespace {

uint8_t NextSequence(uint8_t s) {
  return s >= 127 ? 1 : static_cast<uint8_t>(s + 1);
}

}  // namespace

FrameServer::FrameServer(Printer& printer, FaultInjector& faults, platform::Clock& ticks)
    : printer_(printer), faults_(faults), ticks_(ticks), last_byte_tick_(ticks.TickMs()) {}

void FrameServer::SetPowered(bool on) {
  if (on && !powered_) printer_.PowerCycle();
  if (!on) {
    in_progress_ = false;
    have_last_ = false;  // the printer forgets the last exchange when it loses power
  }
  powered_ = on;
  receiver_.Reset();
}

void FrameServer::OnBytes(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  const uint32_t now = ticks_.TickMs();
  if (receiver_.state() != link::FrameReceiver::State::kHunt &&
      platform::TicksSince(last_byte_tick_, now) > kInterByteGapMs) {
    receiver_.Reset();
    counters_.discarded++;
  }
  last_byte_tick_ = now;
  counters_.bytes_in += size;
  const size_t out_before = out->size();
  while (size > 0) {
    const size_t used = receiver_.Feed(data, size);
    data += used;
    size -= used;
    if (receiver_.done()) {
      OnFrame(receiver_.frame(), out);
      receiver_.Reset();
    } else if (receiver_.oversize()) {
      receiver_.Reset();
      counters_.discarded++;
    } else if (used == 0) {
      break;  // cannot happen with a gathering receiver; never spin
    }
  }
  counters_.bytes_out += out->size() - out_before;
}

std::vector<uint8_t> FrameServer::ResponseData(uint8_t job, uint8_t opcode, const Reply& reply) {
  const uint32_t status = printer_.StatusWord();
  std::vector<uint8_t> d = {job,
                            opcode,
                            printer_.fatal_code(),
                            static_cast<uint8_t>(status >> 24),
                            static_cast<uint8_t>(status >> 16),
                            static_cast<uint8_t>(status >> 8),
                            static_cast<uint8_t>(status),
                            reply.code};
  const std::string payload = link::JoinFields(reply.fields);
  const size_t room = link::kMaxDataPart - d.size();
  d.insert(d.end(), payload.begin(),
           payload.begin() + static_cast<std::ptrdiff_t>(std::min(payload.size(), room)));
  return d;
}

void FrameServer::Send(uint8_t kind, uint8_t sequence, const std::vector<uint8_t>& data,
                       std::vector<uint8_t>* out) {
  std::vector<uint8_t> frame = link::EncodeFrame(kind, sequence, data);
  const int opcode = data.size() > 1 ? data[1] : -1;
  if (connection_drops_ && faults_.TakeDisconnect(opcode)) {
    hang_up_ = true;
    return;
  }
  if (faults_.TakeDrop(opcode)) return;
  std::string noise;
  if (faults_.TakeNoise(opcode, &noise)) out->insert(out->end(), noise.begin(), noise.end());
  size_t keep = 0;
  if (faults_.TakeTruncate(opcode, frame.size(), &keep)) {
    frame.resize(keep);
  } else if (faults_.TakeCorrupt(opcode)) {
    frame.back() ^= 0x5A;
  }
  out->insert(out->end(), frame.begin(), frame.end());
}

void FrameServer::Answer(uint8_t sequence, const std::vector<uint8_t>& data,
                         std::vector<uint8_t>* out) {
  Send(link::kResponseKindNormal, sequence, data, out);
}

Reply FrameServer::Run(uint8_t opcode, std::string_view payload) {
  // Transient printer conditions last for this one command.
  uint8_t fatal = 0;
  const bool error = faults_.TakeError(&fatal);
  const bool cover = faults_.TakeCover();
  const bool nearend = faults_.TakeNearEnd();
  const bool paperout = faults_.TakePaperOut();
  const uint8_t old_fatal = printer_.fatal_code();
  if (error) printer_.set_fatal_code(fatal);
  if (cover) printer_.SetCoverOpen(true);
  if (nearend) printer_.SetPaperNearEnd(true);
  if (paperout) printer_.SetPaperOut(true);
  Reply r = printer_.Execute(opcode, payload);
  counters_.executed++;
  // The answer reports the condition; the printer recovers right after it.
  transient_fatal_ = error ? fatal : 0;
  transient_status_ = (cover ? kStatusCoverOpen : 0) | (nearend ? kStatusPaperNearEnd : 0) |
                      (paperout ? kStatusPaperOut : 0);
  if (error) printer_.set_fatal_code(old_fatal);
  if (cover) printer_.SetCoverOpen(false);
  if (nearend) printer_.SetPaperNearEnd(false);
  if (paperout) printer_.SetPaperOut(false);
  return r;
}

void FrameServer::OnFrame(std::span<const uint8_t> raw, std::vector<uint8_t>* out) {
  counters_.frames++;
  if (!powered_) {
    counters_.ignored_off++;
    return;
  }
  link::FrameView view;
  const int32_t decoded = link::DecodeFrame(raw, &view);
  const uint8_t sequence = raw.size() > 2 ? raw[2] : 0;
  if (decoded != link::LINK_OK || view.data.size() < link::kCommandFixedBytes) {
    // Wrong check code (or a frame too short to be a command): ask for it again.
    counters_.bad_check++;
    const uint8_t job = raw.size() > 6 ? raw[6] : 0;
    const uint8_t opcode = raw.size() > 7 ? raw[7] : 0;
    Send(link::kResponseKindResend, sequence, ResponseData(job, opcode, Reply{kReplyOk, {}}), out);
    return;
  }
  const std::vector<uint8_t> command(view.data.begin(), view.data.end());
  const uint8_t job = command[1];
  const uint8_t opcode = command[2];
  const std::string_view payload(reinterpret_cast<const char*>(command.data() + 3),
                                 command.size() - 3);
  const bool status_query = opcode == link::kOpQueryStatus;

  if (command[0] != link::kCommandMarker) {
    Answer(sequence, ResponseData(job, opcode, Reply{kReplyBadData, {}}), out);
    return;
  }
  if (have_last_ && sequence != last_sequence_ && sequence != NextSequence(last_sequence_) &&
      sequence != 0) {
    counters_.out_of_step++;
    Send(link::kResponseKindReset, sequence, ResponseData(job, opcode, Reply{kReplyOk, {}}), out);
    return;
  }

  // A command held in progress.
  if (in_progress_) {
    const bool done = platform::TicksSince(progress_end_, ticks_.TickMs()) < 0x80000000u;
    if (command == progress_command_) {
      std::vector<uint8_t> answer;
      if (done) {
        answer = progress_answer_;
        in_progress_ = false;
      } else {
        answer = ResponseData(job, opcode, Reply{kReplyInProgress, {}});
      }
      counters_.replays++;
      have_last_ = true;
      last_sequence_ = sequence;
      last_command_ = command;
      last_answer_ = answer;
      last_executed_ = true;
      Answer(sequence, answer, out);
      return;
    }
    if (status_query) {
      Reply r = printer_.Execute(opcode, payload);
      const uint8_t shown_job = done ? link::kStatusJob : progress_command_[1];
      if (done) in_progress_ = false;
      have_last_ = true;
      last_sequence_ = sequence;
      last_command_ = command;
      last_answer_ = ResponseData(shown_job, opcode, r);
      last_executed_ = true;
      Answer(sequence, last_answer_, out);
      return;
    }
    if (!done) {
      counters_.refused_busy++;
      have_last_ = true;
      last_sequence_ = sequence;
      last_command_ = command;
      last_answer_ = ResponseData(job, opcode, Reply{kReplyBusy, {}});
      last_executed_ = false;
      Answer(sequence, last_answer_, out);
      return;
    }
    in_progress_ = false;
  }

  // A resend of the last command: its answer was lost on the way.
  if (have_last_ && last_executed_ && sequence == last_sequence_ && command == last_command_ &&
      !status_query) {
    counters_.replays++;
    Answer(sequence, last_answer_, out);
    return;
  }

  have_last_ = true;
  last_sequence_ = sequence;
  last_command_ = command;
  if (faults_.TakeBusy(opcode)) {
    last_executed_ = false;
    last_answer_ = ResponseData(job, opcode, Reply{kReplyBusy, {}});
    Answer(sequence, last_answer_, out);
    return;
  }
  transient_fatal_ = 0;
  transient_status_ = 0;
  Reply reply = Run(opcode, payload);
  last_executed_ = true;
  last_answer_ = ResponseData(job, opcode, reply);
  if (transient_fatal_) last_answer_[2] = transient_fatal_;
  for (int i = 0; i < 4; ++i) {
    last_answer_[static_cast<size_t>(3 + i)] |=
        static_cast<uint8_t>(transient_status_ >> (24 - 8 * i));
  }
  uint32_t ms = 0;
  if (reply.code == kReplyOk && !Printer::AnswersFields(opcode) &&
      faults_.TakeInProgress(opcode, &ms)) {
    in_progress_ = true;
    progress_end_ = ticks_.TickMs() + ms;
    progress_command_ = command;
    progress_answer_ = last_answer_;
    last_answer_ = ResponseData(job, opcode, Reply{kReplyInProgress, {}});
  }
  Answer(sequence, last_answer_, out);
}

}  // namespace kelo::sim
