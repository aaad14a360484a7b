#pragma once
// The texts that turn a query's result code into words for the status bar.

#include <QString>

#include <cstdint>

namespace kest {

// The two query paths differ only in the text of an interrupt.
enum class QueryPath { Table, RowCallback };

// The text of `code` on `path`; empty for the code that adds nothing (4, the row callback's stop).
QString StatusTextFor(QueryPath path, int16_t code);

// Appends the text of `code` to `statusMessage`, directly, with no separator.
void AppendStatusText(QueryPath path, int16_t code, QString &statusMessage);

} // namespace kest
