#pragma once
// Rows as the texts people paste into spreadsheets, tickets and code: tab-separated text, a JSON
// array of objects, a Markdown table, SQL INSERT statements. The rows are read as the CSV
// export reads them (Csv.h), the column names as row 0; the output is UTF-8 with CR LF line ends.
//
// The formats meant to be read back, JSON and SQL INSERT, write each cell from its storage class
// (CsvRows::value); tab-separated text and Markdown write its text (CsvRows::cell), as the list
// shows it.

#include "Csv.h"

#include <QIODevice>

#include <string_view>

namespace kest {

// "[", one object a line (indented by two blanks) with the column names as keys in the
// columns' order, "]". A name that an earlier column has taken is keyed by the first of
// "name:2", "name:3" … that no column is named and no earlier key is. NULL is null, an integer a
// JSON integer of its 64 bits, a real its fewest digits that read back as the same double (with
// ".0" or an exponent, so that it reads as a real), Inf and -Inf the numbers 1e999 and -1e999
// (which readers take as infinity), a text a string, a BLOB the string of its SQL literal X'…'.
bool WriteJson(QIODevice &out, const CsvRows &namedRows);

// A header line, its rule and a line per row, each name and cell shown by a Markdown reader
// (with GitHub's tables and links) as its text: a backslash, a pipe and the characters of
// emphasis, code, links and HTML (* _ ` [ ] < & ~) take a backslash; a line break (CR LF, CR or
// LF) becomes "<br>"; blanks at a cell's edges, the colon after a letter and the "w" of "www."
// become character references ("&#32;", "&#58;", "&#119;"), so that the reader neither trims
// the blanks nor makes a link of the text, where it would show the backslashes.
bool WriteMarkdown(QIODevice &out, const CsvRows &namedRows);

// One `INSERT INTO "table"("column", …) VALUES(…);` a row; when two columns have one name (a
// join's), `INSERT INTO "table" VALUES(…);`, the values in the columns' order, since the engine
// would keep one of a repeated column's values and drop the other. Names are quoted as the engine quotes
// identifiers ("" for a quote), texts as it quotes strings ('' for a quote) whatever they hold,
// a carriage return as ||char(13)|| (readers of lines drop the CR of a CR LF);
// the engine reads every value back with its type and value: NULL, an integer as its digits, a
// BLOB as X'…' in upper-case hex, a real as 17 significant digits with ".0" or an exponent (one
// below 1e-290 as an exact product with 2^-512, since the engine reads no such digits exactly),
// -0.0 as that, Inf and -Inf as 1e999 and -1e999.
bool WriteInserts(QIODevice &out, const CsvRows &namedRows, std::string_view table);

// Cells separated by tabs, each line ended by CR LF, for a spreadsheet: a cell that holds a tab
// or a line break, or starts with a double quote, is put in double quotes with its own quotes
// doubled, so that the spreadsheet reads the cell back whole.
bool WriteTabText(QIODevice &out, const CsvRows &namedRows);

} // namespace kest
