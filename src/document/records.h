#pragma once
// The record types of the working tables.
#include <QString>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

namespace kemo {

// The most records any table holds.
constexpr int MaxRecords = 3600;
// Each array has slots 0..MaxRecords; valid records are slots 0..count-1.
constexpr int kSlots = MaxRecords + 1;

struct SlideRecord {
  int16_t id = 0;  // slot + 1
  double pos = 0.0;
  QString timeText;
  QString caption;
  QString image;  // a plain file name in the data folder
};

struct PointRecord {
  int16_t id = 0;  // slot + 1
  double t = 0.0;  // seconds, three decimals
  QString timeText;
  QString x;  // fraction of the picture width, held as the text of the file
  QString y;  // fraction of the picture height
  QString mark;  // SymOn (shown) or SymOff (hidden); "" for points read from the file
};

// A table of kSlots records whose memory follows its contents: the slots are held in blocks of
// kBlock, and a block is made the first time one of its slots is written. A slot never written reads
// as a blank record. References to slots stay valid while the table lives (blocks never move), until
// the slot's block is cleared.
template <typename T>
class SlotTable {
 public:
  static constexpr int kBlock = 256;
  static constexpr int kBlocks = (kSlots + kBlock - 1) / kBlock;

  SlotTable() = default;
  SlotTable(const SlotTable& other) { *this = other; }
  SlotTable(SlotTable&&) noexcept = default;
  SlotTable& operator=(SlotTable&&) noexcept = default;
  SlotTable& operator=(const SlotTable& other) {
    if (this == &other) return *this;
    for (int b = 0; b < kBlocks; ++b) {
      if (!other.blocks_[b]) blocks_[b].reset();
      else if (blocks_[b]) *blocks_[b] = *other.blocks_[b];
      else blocks_[b] = std::make_unique<Block>(*other.blocks_[b]);
    }
    return *this;
  }

  static constexpr int size() { return kSlots; }
  // A table of blank slots, for reading where there is none.
  static const SlotTable& Empty() {
    static const SlotTable empty;
    return empty;
  }

  T& operator[](int i) {
    std::unique_ptr<Block>& b = blocks_[static_cast<size_t>(i) / kBlock];
    if (!b) b = std::make_unique<Block>();
    return (*b)[static_cast<size_t>(i) % kBlock];
  }
  const T& operator[](int i) const {
    const std::unique_ptr<Block>& b = blocks_[static_cast<size_t>(i) / kBlock];
    return b ? (*b)[static_cast<size_t>(i) % kBlock] : Blank();
  }

  // The slot after the last one that may hold a record: every slot from here on is blank.
  int Extent() const {
    int b = kBlocks;
    while (b > 0 && !blocks_[b - 1]) --b;
    return std::min(b * kBlock, kSlots);
  }

  // Slots first..end-1 back to blank records; whole blocks are given back.
  void ClearRange(int first, int end) {
    end = std::min(end, Extent());
    for (int i = std::max(first, 0); i < end;) {
      const int b = i / kBlock;
      const int blockEnd = (b + 1) * kBlock;
      if (i % kBlock == 0 && blockEnd <= end) {
        blocks_[b].reset();
        i = blockEnd;
      } else {
        if (blocks_[b]) (*blocks_[b])[i % kBlock] = T{};
        ++i;
      }
    }
  }

  // Slots first..end-1 as the same slots of `from`, without making blocks for blank slots.
  void CopyRange(const SlotTable& from, int first, int end) {
    end = std::min(end, kSlots);
    for (int i = std::max(first, 0); i < end; ++i) {
      const bool mine = blocks_[i / kBlock] != nullptr;
      const bool theirs = from.blocks_[i / kBlock] != nullptr;
      if (mine || theirs) (*this)[i] = from[i];
    }
  }

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;
    const_iterator() = default;
    const_iterator(const SlotTable* t, int i) : t_(t), i_(i) {}
    reference operator*() const { return (*t_)[i_]; }
    pointer operator->() const { return &(*t_)[i_]; }
    const_iterator& operator++() { ++i_; return *this; }
    const_iterator operator++(int) { const_iterator r = *this; ++i_; return r; }
    const_iterator operator+(int n) const { return const_iterator(t_, i_ + n); }
    difference_type operator-(const const_iterator& o) const { return i_ - o.i_; }
    bool operator==(const const_iterator& o) const { return i_ == o.i_ && t_ == o.t_; }
    bool operator!=(const const_iterator& o) const { return !(*this == o); }

   private:
    const SlotTable* t_ = nullptr;
    int i_ = 0;
  };
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, kSlots); }

 private:
  using Block = std::array<T, kBlock>;
  static const T& Blank() {
    static const T blank{};
    return blank;
  }
  std::array<std::unique_ptr<Block>, kBlocks> blocks_{};
};

using SlideArray = SlotTable<SlideRecord>;
using PointArray = SlotTable<PointRecord>;
using NodeTextArray = SlotTable<QString>;

}  // namespace kemo
