// Float storage on 16-byte boundaries for 4-wide vector loads and stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tesk {

class AlignedBuffer {
  public:
    AlignedBuffer() = default;
    ~AlignedBuffer() { release(); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept
        : block_(other.block_), data_(other.data_), size_(other.size_) {
        other.block_ = nullptr;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this == &other) return *this;
        std::swap(block_, other.block_);
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }

    /// A zeroed buffer of `count` floats; empty when memory runs out. The system
    /// hands out large blocks already zeroed, page by page as they are first
    /// touched: a delay memory nobody has written to yet costs next to nothing.
    static AlignedBuffer zeroed(std::size_t count) {
        AlignedBuffer buffer;
        if (count == 0 || count > SIZE_MAX / sizeof(float) / 2) return buffer;
        const std::size_t bytes = ((count * sizeof(float) + 15) / 16) * 16;
        // Room to move up to a 16-byte boundary, which not every C library's
        // allocator keeps (32-bit Windows keeps 8).
        buffer.block_ = std::calloc(bytes + kAlignment - 1, 1);
        if (buffer.block_ != nullptr) {
            const auto address = reinterpret_cast<std::uintptr_t>(buffer.block_);
            buffer.data_ = reinterpret_cast<float*>((address + kAlignment - 1) & ~(kAlignment - 1));
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
    static constexpr std::uintptr_t kAlignment = 16;
    void release() {
        std::free(block_);
        block_ = nullptr;
        data_ = nullptr;
    }

    void* block_ = nullptr; ///< what the allocator gave
    float* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tesk
