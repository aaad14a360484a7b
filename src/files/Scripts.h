#pragma once
// Loading and saving SQL scripts.

#include <QString>

namespace kest {

// The statements of the script file at `path`, for the query window: every line trimmed of
// blanks at both ends (the space character only; tabs stay), blank lines and REM comments
// ("REM" alone or "REM " at the start, in any case) dropped, each kept line followed by
// CR LF. Lines end at CR, LF or CR LF, so files from any platform load line by line. The
// bytes are read as UTF-8, a leading byte-order mark skipped. A file that cannot be opened
// gives empty text; a read that fails part way gives the lines gathered before it.
QString ReadFile(const QString &path);

// Writes `text` (its line ends, whatever they are, as CR LF) and one more CR LF to `path`
// in UTF-8. The previous file is replaced only when the whole write succeeded; on any
// failure it stays byte for byte as it was, and the result is false.
bool SaveFile(const QString &path, const QString &text);

} // namespace kest
