// Float storage on 16-byte boundaries for 4-wide vector loads and stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace tesk {

class AlignedBuffer {
  public:
    AlignedBuffer() = default;
    ~AlignedBuffer() { release(); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this == &other) return *this;
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }

    /// A zeroed buffer of `count` floats; empty when memory runs out.
    static AlignedBuffer zeroed(std::size_t count) {
        AlignedBuffer buffer;
        if (count == 0 || count > SIZE_MAX / sizeof(float) / 2) return buffer;
        const std::size_t bytes = ((count * sizeof(float) + 15) / 16) * 16;
        buffer.data_ = static_cast<float*>(::operator new(bytes, kAlignment, std::nothrow));
        if (buffer.data_ != nullptr) {
            std::memset(buffer.data_, 0, bytes);
            buffer.size_ = count;
        }
        return buffer;
    }

    float* data() { return data_; }
    const float* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }
    float& operator[](std::size_t i) { return data_[i]; }
    float operator[](std::size_t i) const { return data_[i]; }
    void clear() {
        if (data_ != nullptr) std::memset(data_, 0, size_ * sizeof(float));
    }

  private:
    static constexpr std::align_val_t kAlignment{16};
    void release() {
        if (data_ != nullptr) ::operator delete(data_, kAlignment);
        data_ = nullptr;
    }

    float* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tesk
