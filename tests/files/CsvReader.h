#pragma once
// A strict RFC 4180 reader for checking exported files: quoted and plain fields, "" inside
// quotes, CR LF record ends (a bare CR or LF is only allowed inside quotes). Anything else
// is an error, so a file that a spreadsheet would misread fails here too.

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

using CsvRecord = std::vector<std::string>;

// The records of `data`, or nothing when it is not well-formed. An empty input has no
// records; the last record may end without CR LF.
std::optional<std::vector<CsvRecord>> ReadCsv(const QByteArray &data);
