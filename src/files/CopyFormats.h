#pragma once
// Rows as the texts people paste into spreadsheets, tickets and code: tab-separated text, a JSON
// array of objects, a Markdown table, SQL INSERT statements. The rows are read as the CSV
// export reads them (Csv.h), the column names as row 0; the output is UTF-8 with CR LF line ends.
//
// The results list holds texts only, the engine's types gone. A cell is written as a number
// where its text is one as the engine prints numbers (IsEngineNumber), as SQL NULL (JSON null)
// where it is empty (the list shows NULL and an empty text alike), and as a text otherwise; for
// INSERT, the hex form X'…' in which the library shows a BLOB is written back as that BLOB.

#include "Csv.h"

#include <QIODevice>

#include <string_view>

namespace kest {

// Whether `text` is a number as the engine prints one: an integer of 64 bits without a sign
// other than "-" or a leading zero, or a real as the engine prints a double (at most 15
// significant digits, a point with at least one digit after it and no trailing zero but the
// ".0" of a whole number, an exponent "e+NN" or "e-NN" after one digit when the number is below
// 0.0001 or from 10^15 on). So "007", "1.50", "+5", "1e5", ".5" and "Inf" stay texts.
bool IsEngineNumber(std::string_view text);

// "[", one object a line (indented by two blanks) with the column names as keys in the
// columns' order, "]". A column name that repeats is written each time (JSON readers keep the
// last).
bool WriteJson(QIODevice &out, const CsvRows &namedRows);

// A header line, its rule and a line per row, each name and cell shown by a Markdown reader
// (with GitHub's tables and links) as its text: a backslash, a pipe and the characters of
// emphasis, code, links and HTML (* _ ` [ ] < & ~) take a backslash; a line break (CR LF, CR or
// LF) becomes "<br>"; blanks at a cell's edges, the colon after a letter and the "w" of "www."
// become character references ("&#32;", "&#58;", "&#119;"), so that the reader neither trims
// the blanks nor makes a link of the text, where it would show the backslashes.
bool WriteMarkdown(QIODevice &out, const CsvRows &namedRows);

// One `INSERT INTO "table"("column", …) VALUES(…);` a row. Names are quoted as the engine quotes
// identifiers ("" for a quote), texts as it quotes strings ('' for a quote).
bool WriteInserts(QIODevice &out, const CsvRows &namedRows, std::string_view table);

// Cells separated by tabs, each line ended by CR LF, for a spreadsheet: a cell that holds a tab
// or a line break, or starts with a double quote, is put in double quotes with its own quotes
// doubled, so that the spreadsheet reads the cell back whole.
bool WriteTabText(QIODevice &out, const CsvRows &namedRows);

} // namespace kest
