#pragma once
// The row-callback path: the library hands each row to `SQLCallbackMain`, which keeps the first
// `ExecDisplayLimit` rows in `ExecResults` for the results list and sends the rows past them to
// disk (ExecSpill), where the CSV export finds every row of the run.

#include "Engine.h"
#include "kestrune3.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace kest {

// Runs `sqlText` (UTF-8) against `databasePath` through the library's exec function. `statusCode` and
// `elapsedSeconds` are written only when the exec call was made. Returns the library's 64-bit
// count of rows of its last exec run, less the rows of this run that could not be kept (0 when
// the database could not be opened). A run-time failure is described in `statusMessage` with
// the step it happened at (" after line: " and the step).
int64_t DBExec(const Engine &engine, const QString &databasePath, const QByteArray &sqlText,
               QString &statusMessage, int16_t &statusCode, float &elapsedSeconds);

inline int64_t DBExec(const Engine &engine, const QString &databasePath, const QString &sqlText,
                      QString &statusMessage, int16_t &statusCode, float &elapsedSeconds)
{
    return DBExec(engine, databasePath, sqlText.toUtf8(), statusMessage, statusCode, elapsedSeconds);
}

// The row callback: stores the row (past the rows the list shows, on disk: see ExecSpill), keeps
// the window answering, reports progress every 5000 rows, and ends the statement (-1) when Stop
// was pressed.
int16_t KEST_CALL SQLCallbackMain(const int32_t *rowNumber, void *unused, const kest_texts *rowValues,
                                  const kest_texts *columnNames);

} // namespace kest
