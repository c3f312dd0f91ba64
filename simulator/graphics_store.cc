#include "simulator/graphics_store.h"

#include <algorithm>

namespace kelo::sim {

GraphicStore::GraphicStore(int32_t max_number, int32_t width, int32_t height, int32_t width2,
                           int32_t height2)
    : max_number_(max_number), width_(width), height_(height), width2_(width2), height2_(height2) {}

void GraphicStore::SetLimits(int32_t width, int32_t height, int32_t width2, int32_t height2) {
  width_ = width;
  height_ = height;
  width2_ = width2;
  height2_ = height2;
}

int32_t GraphicStore::MaxWidth() const {
  return width2_ > 0 ? std::min(width_, width2_) : width_;
}
int32_t GraphicStore::MaxHeight() const {
  return height2_ > 0 ? std::min(height_, height2_) : height_;
}

GraphicResult GraphicStore::Begin(int32_t number, int32_t rows) {
  if (number < 0 || number > max_number_) return GraphicResult::kBadNumber;
  if (rows <= 0 || rows > MaxHeight()) return GraphicResult::kTooLarge;
  // A new begin abandons a download that never completed, as the printer's buffer is reused.
  pending_ = Pending{number, rows, Graphic{}};
  return GraphicResult::kOk;
}

GraphicResult GraphicStore::Row(const std::vector<uint8_t>& row) {
  if (!pending_) return GraphicResult::kNoDownload;
  const int32_t max_bytes = (MaxWidth() + 7) / 8;
  if (static_cast<int32_t>(row.size()) > max_bytes) {
    pending_.reset();
    return GraphicResult::kTooLarge;
  }
  Graphic& g = pending_->graphic;
  g.width_bytes = std::max(g.width_bytes, static_cast<int32_t>(row.size()));
  g.rows.push_back(row);
  if (g.height() == pending_->expected_rows) {
    stored_[pending_->number] = std::move(g);
    pending_.reset();
  }
  return GraphicResult::kOk;
}

GraphicResult GraphicStore::Erase(int32_t number) {
  if (number < 0 || number > max_number_) return GraphicResult::kBadNumber;
  stored_.erase(number);
  return GraphicResult::kOk;
}

const Graphic* GraphicStore::Find(int32_t number) const {
  auto it = stored_.find(number);
  return it == stored_.end() ? nullptr : &it->second;
}

void GraphicStore::Clear() {
  stored_.clear();
  pending_.reset();
}

}  // namespace kelo::sim
