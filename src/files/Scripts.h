#pragma once
// Loading and saving SQL scripts.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace kest {

// The statements of the script file at `path`, for the query window, as UTF-8: every line
// trimmed of blanks at both ends (the space character only; tabs stay), blank lines and REM
// comments ("REM" alone or "REM " at the start, in any case) dropped, each kept line followed
// by CR LF. Lines end at CR, LF or CR LF, so files from any platform load line by line.
//
// The file's encoding is what people's tools write: UTF-8 with or without a byte-order mark,
// UTF-16 little or big endian with one, and a file that is not valid UTF-8 is read in the
// 8-bit code page Windows-1252. A file that cannot be opened gives empty text; a read that
// fails part way gives no text at all (std::nullopt), so that no truncated script is run.
std::optional<QByteArray> ReadFile(const QString &path);

// Writes `utf8` (its line ends, whatever they are, as CR LF) and one more CR LF to `path`.
// The previous file is replaced only when the whole write succeeded; on any failure it stays
// byte for byte as it was, and the result is false.
bool SaveFile(const QString &path, QByteArrayView utf8);

} // namespace kest
