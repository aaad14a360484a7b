#pragma once
// A text put on the clipboard, held in memory drawn from the memory budget. The formatter that
// makes it writes UTF-8 twice: once to measure the text, then decoded straight into memory of
// that size. So what the copy takes is counted once, as memory held (not as a promise beside
// memory already taken), and nothing else of its size is taken beside it: no formatted line, no
// decoded temporary, no room grown by doubling.

#include "engine/MemoryBudget.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace kest {

class CountedText {
public:
    // Writes the text's UTF-8 to the device it is given; false when it cannot.
    using Writer = std::function<bool(QIODevice &)>;

    // The text that `write` makes, drawn from `budget` (nullptr: the heap, not counted); nullptr
    // when the budget refuses it or `write` fails.
    static std::unique_ptr<CountedText> Written(MemoryBudget *budget, const Writer &write);

    // The text, sharing this memory: it must not outlive this.
    QString text() const;
    // The bytes drawn from the budget.
    qsizetype bytes() const { return capacity_ * qsizetype(sizeof(char16_t)); }

private:
    CountedText() = default;
    BudgetedArray<char16_t> units_;
    qsizetype size_ = 0, capacity_ = 0;
};

} // namespace kest
