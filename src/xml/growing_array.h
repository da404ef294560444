#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

namespace pibgen::xml {

// Memory for a large GrowingArray: blocks mapped on 2 MiB boundaries and grown by moving
// their pages rather than copying them, so a table of a hundred megabytes is never copied
// as it grows.
class LargeBlock {
 public:
  // A block of at least bytes, holding the first used bytes of old (a block of this kind
  // of old_bytes, or a malloc block when old_bytes is 0), which is gone afterwards. Null if
  // memory runs out; old is then untouched.
  static void* Grow(void* old, size_t old_bytes, size_t used, size_t bytes);
  static void Free(void* block, size_t bytes);
};

// An append-only array of plain records. Small arrays live in malloc blocks, large ones in
// LargeBlocks, so the table of a big description is never copied, and never held twice
// while it grows, as a std::vector's would be; capacity not yet written to costs no memory.
// It runs inside parser callbacks, where an exception must not pass: when memory runs out,
// appends return false and leave the array as it was.
template <typename T>
class GrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  GrowingArray() = default;
  ~GrowingArray() {
    if (mapped_bytes_ > 0) {
      LargeBlock::Free(data_, mapped_bytes_);
    } else {
      std::free(data_);
    }
  }
  GrowingArray(const GrowingArray&) = delete;
  GrowingArray& operator=(const GrowingArray&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }

  [[nodiscard]] bool push_back(const T& value) {
    if (size_ == capacity_ && !Grow(size_ + 1)) return false;
    data_[size_++] = value;
    return true;
  }

  [[nodiscard]] bool append(const T* values, size_t count) {
    if (count == 0) return true;
    if (capacity_ - size_ < count && !Grow(size_ + count)) return false;
    std::memcpy(static_cast<void*>(data_ + size_), values, count * sizeof(T));
    size_ += count;
    return true;
  }

  void swap(GrowingArray& other) {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    std::swap(mapped_bytes_, other.mapped_bytes_);
  }

  // Drops the records from count on; only ever shrinks.
  void truncate(size_t count) {
    if (count < size_) size_ = count;
  }
  void pop_back() { --size_; }

 private:
  static constexpr size_t kLargeBytes = size_t{1} << 20;

  bool Grow(size_t needed) {
    if (needed > SIZE_MAX / 2 / sizeof(T)) return false;
    size_t capacity = capacity_ < 1024 ? 1024 : capacity_ * 2;
    while (capacity < needed) capacity *= 2;
    const size_t bytes = capacity * sizeof(T);
    void* grown;
    if (bytes < kLargeBytes) {
      grown = std::realloc(static_cast<void*>(data_), bytes);
    } else {
      grown = LargeBlock::Grow(data_, mapped_bytes_, size_ * sizeof(T), bytes);
      if (grown != nullptr) mapped_bytes_ = bytes;
    }
    if (grown == nullptr) return false;
    data_ = static_cast<T*>(grown);
    capacity_ = capacity;
    return true;
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t mapped_bytes_ = 0;  // the size of the LargeBlock data_ is, or 0 for a malloc block
};

}  // namespace pibgen::xml
