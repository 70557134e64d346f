#pragma once
// Internal to the platform layer: a fixed-capacity FIFO of bytes (a port's input queue).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace osc::win::detail {

class ByteRing {
 public:
  explicit ByteRing(std::size_t capacity) : buffer_(capacity) {}

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return buffer_.size(); }
  bool full() const { return size_ == buffer_.size(); }

  // Appends what fits; returns the count appended.
  std::size_t push(const std::uint8_t* data, std::size_t count) {
    std::size_t n = std::min(count, capacity() - size_);
    if (n == 0) return 0;
    std::size_t tail = (head_ + size_) % capacity();
    std::size_t first = std::min(n, capacity() - tail);
    std::memcpy(buffer_.data() + tail, data, first);
    std::memcpy(buffer_.data(), data + first, n - first);
    size_ += n;
    return n;
  }

  // Removes up to `count` of the oldest bytes into `out`; returns the count removed.
  std::size_t pop(std::uint8_t* out, std::size_t count) {
    std::size_t n = std::min(count, size_);
    if (n == 0) return 0;
    std::size_t first = std::min(n, capacity() - head_);
    std::memcpy(out, buffer_.data() + head_, first);
    std::memcpy(out + first, buffer_.data(), n - first);
    head_ = (head_ + n) % capacity();
    size_ -= n;
    if (size_ == 0) head_ = 0;
    return n;
  }

  void clear() { head_ = size_ = 0; }

  // Changes the capacity, keeping the oldest bytes that fit; returns the count dropped.
  std::size_t resize(std::size_t capacity) {
    std::vector<std::uint8_t> kept(std::min(size_, capacity));
    std::size_t dropped = size_ - kept.size();
    pop(kept.data(), kept.size());
    buffer_.assign(capacity, 0);
    buffer_.shrink_to_fit();
    head_ = size_ = 0;
    push(kept.data(), kept.size());
    return dropped;
  }

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace osc::win::detail
