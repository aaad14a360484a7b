#pragma once
// Memory that results hold is drawn from the process's budget, which the library decides (see
// kestrune3.h): past it a query ends with its out-of-memory text instead of the kernel killing
// the program.

#include <kestrune3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

namespace kest {

// Gives memory back to where it came from. A plain function of the library (which the program
// never unloads: QLibrary leaves it loaded), so that memory can be released after the binding
// that handed it out is gone: the program's row store (ProgramState) outlives its window and binding.
using MemoryRelease = void (KEST_CALL *)(void *memory, int64_t bytes);

class MemoryBudget {
public:
    virtual ~MemoryBudget() = default;
    // True, counting `bytes` as held, when they fit; false, counting nothing, when they do not.
    virtual bool take(int64_t bytes) noexcept = 0;
    virtual void give(int64_t bytes) noexcept = 0;
    // Memory counted against the budget while it lives; nullptr when refused. Stores ask in
    // chunks of `ChunkBytes`. `release` receives how to give it back.
    virtual void *allocate(std::size_t bytes, MemoryRelease &release) noexcept = 0;
    static constexpr std::size_t ChunkBytes = KEST_MEMORY_CHUNK;
};

template <typename T> struct BudgetedDelete {
    MemoryRelease release = nullptr; // nullptr: the program's heap
    std::size_t bytes = 0;
    void operator()(T *p) const noexcept
    {
        if (release != nullptr)
            release(p, static_cast<int64_t>(bytes));
        else
            delete[] p;
    }
};
template <typename T> using BudgetedArray = std::unique_ptr<T[], BudgetedDelete<T>>;

// `n` values, uninitialised, from `budget` (nullptr: the heap, not counted). Throws
// std::bad_alloc when the budget refuses them.
template <typename T> BudgetedArray<T> AllocateBudgeted(MemoryBudget *budget, std::size_t n)
{
    static_assert(std::is_trivially_copyable_v<T>);
    const std::size_t bytes = n * sizeof(T);
    if (budget == nullptr)
        return BudgetedArray<T>(new T[n], BudgetedDelete<T>{nullptr, bytes});
    MemoryRelease release = nullptr;
    void *memory = budget->allocate(bytes, release);
    if (memory == nullptr)
        throw std::bad_alloc();
    return BudgetedArray<T>(static_cast<T *>(memory), BudgetedDelete<T>{release, bytes});
}

// Bytes held back from the budget for an allocation to come, given back when released.
class BudgetReservation {
public:
    explicit BudgetReservation(MemoryBudget *budget) noexcept : budget_(budget) {}
    ~BudgetReservation() { release(); }
    BudgetReservation(const BudgetReservation &) = delete;
    BudgetReservation &operator=(const BudgetReservation &) = delete;

    // Throws std::bad_alloc when the budget refuses `bytes` more.
    void add(int64_t bytes)
    {
        if (budget_ != nullptr && !budget_->take(bytes))
            throw std::bad_alloc();
        held_ += bytes;
    }
    void release() noexcept
    {
        if (budget_ != nullptr && held_ > 0)
            budget_->give(held_);
        held_ = 0;
    }

private:
    MemoryBudget *budget_;
    int64_t held_ = 0;
};

} // namespace kest
