#pragma once

// The fuzz targets that build their input: each draw takes the next byte of
// the fuzzer's data (zero past the end).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace v36::fuzz {

class ByteReader {
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    template <std::size_t N>
    std::string_view pick(const std::array<std::string_view, N>& words) {
        return words[next() % N];
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace v36::fuzz
