#include "device/fiscal_device.h"

#include <cstdio>

namespace kelo::device {

ConfigRecord MakeConfigRecord(const std::array<int32_t, 16>& info1,
                              const std::array<int32_t, 4>& info2, const std::string& info2_text) {
  // Value n is field n - 1.
  auto value = [&info1](int n) { return info1[static_cast<size_t>(n - 1)]; };
  ConfigRecord r;
  r.valid = true;
  r.info1 = info1;
  r.info2_text = info2_text;
  r.num_vat_rates = value(1);
  r.default_vat_index = value(1) + 1;
  r.num_departments = value(2);
  r.message_length = value(3);
  r.length4 = value(4);
  r.length5 = value(5);
  r.num_header_lines = value(9);
  r.num_trailer_lines = value(10);
  r.num_payment_lines = value(12);
  // A printer that reports a silly count must not make us build millions of names.
  const int32_t names =
      r.num_payment_lines < 0 ? 0 : (r.num_payment_lines > 100 ? 100 : r.num_payment_lines);
  for (int32_t i = 0; i < names; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "sample pay N%02d", i);
    r.payment_line_names.emplace_back(name);
  }
  r.printer_image_width = {value(13), value(15) != 0 ? value(15) : value(13)};
  r.printer_image_height = {value(14), value(16) != 0 ? value(16) : value(14)};
  r.display_image_width = {info2[0], info2[2] != 0 ? info2[2] : info2[0]};
  r.display_image_height = {info2[1], info2[3] != 0 ? info2[3] : info2[1]};
  return r;
}

int32_t ReadVirtualTicketFrom(link::FpuProtocol& engine, std::string* text) {
  std::string ticket;
  while (true) {
    int32_t more = 0;
    std::string piece;
    const int32_t r = engine.ReadReportLine(kVirtualTicketSelector, &more, &piece);
    if (r != link::LINK_OK) return r;
    if (piece.size() > kMaxVirtualTicketBytes - ticket.size()) return link::LINK_E_PROTOCOL;
    ticket += piece;
    if (more == 0) break;
  }
  *text = std::move(ticket);
  return link::LINK_OK;
}

int32_t FiscalDevice::ReadVirtualTicket(std::string* text) {
  return WithProtocol([text](link::FpuProtocol& e) { return ReadVirtualTicketFrom(e, text); });
}

void FiscalDeviceBase::AttachPort(link::SerialPort* port) {
  std::lock_guard<std::mutex> lock(state_mu_);
  port_ = port;
}

link::SerialPort* FiscalDeviceBase::port() {
  std::lock_guard<std::mutex> lock(state_mu_);
  return port_;
}

DeviceStatusBlock FiscalDeviceBase::CopyStatus() {
  std::lock_guard<std::mutex> lock(state_mu_);
  return status_;
}

ConfigRecord FiscalDeviceBase::Configuration() {
  std::lock_guard<std::mutex> lock(state_mu_);
  return config_;
}

void FiscalDeviceBase::StoreProbeAnswer(uint32_t flags, int32_t phase) {
  std::lock_guard<std::mutex> lock(state_mu_);
  ApplyProbeAnswer(&status_, flags, phase);
}

void FiscalDeviceBase::StoreProbeUnanswered() {
  std::lock_guard<std::mutex> lock(state_mu_);
  ApplyProbeUnanswered(&status_);
}

void FiscalDeviceBase::StoreLastStatus(int32_t fatal_code, uint32_t status_word) {
  std::lock_guard<std::mutex> lock(state_mu_);
  ApplyLastStatus(&status_, fatal_code, status_word);
}

void FiscalDeviceBase::StoreConfiguration(const ConfigRecord& record) {
  std::lock_guard<std::mutex> lock(state_mu_);
  config_ = record;
}

}  // namespace kelo::device
