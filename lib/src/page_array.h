#pragma once
// A growing array of trivially copyable values in its own pages. Growing moves the pages
// instead of copying the values (mremap), so the array never exists twice: a result of ten
// million cells touches its 80 MB of pointers once, where doubling a vector touches 240 MB of
// fresh pages and copies half of it. Every byte mapped is counted against the memory budget.

#include "memory_budget.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace kest {

template <typename T> class PageArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PageArray() = default;
    PageArray(PageArray &&other) noexcept { swap(other); }
    PageArray &operator=(PageArray &&other) noexcept
    {
        PageArray(std::move(other)).swap(*this);
        return *this;
    }
    ~PageArray() { unmap(); }

    T *data() noexcept { return data_; }
    const T *data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    T &operator[](std::size_t i) noexcept { return data_[i]; }
    const T &operator[](std::size_t i) const noexcept { return data_[i]; }

    // Makes the array `n` values long; new values are `fill`. Throws std::bad_alloc when the
    // memory cannot be had or the budget is spent.
    void resize(std::size_t n, T fill)
    {
        if (n > capacity())
            grow(n);
        for (std::size_t i = size_; i < n; ++i)
            data_[i] = fill;
        size_ = n;
    }

private:
    static constexpr std::size_t FirstBytes = std::size_t{1} << 20;

    std::size_t capacity() const noexcept { return bytes_ / sizeof(T); }

    void grow(std::size_t n)
    {
        std::size_t bytes = bytes_ == 0 ? FirstBytes : bytes_;
        while (bytes / sizeof(T) < n)
            bytes *= 2;
        budget::take_or_throw(static_cast<int64_t>(bytes - bytes_));
        void *p = bytes_ == 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                              : mremap(data_, bytes_, bytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) {
            budget::give(static_cast<int64_t>(bytes - bytes_));
            throw std::bad_alloc();
        }
        data_ = static_cast<T *>(p);
        bytes_ = bytes;
    }

    void unmap() noexcept
    {
        if (bytes_ != 0) {
            munmap(data_, bytes_);
            budget::give(static_cast<int64_t>(bytes_));
        }
        data_ = nullptr;
        bytes_ = size_ = 0;
    }

    void swap(PageArray &other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(bytes_, other.bytes_);
        std::swap(size_, other.size_);
    }

    T *data_ = nullptr;
    std::size_t bytes_ = 0; // mapped
    std::size_t size_ = 0;  // values in use
};

} // namespace kest
