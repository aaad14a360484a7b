#pragma once
// The table path: one SQL text run into one result table, shown in the results list.

#include "Engine.h"
#include "kestrune3.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace kest {

// Runs `sqlText` (UTF-8) against `databasePath` through the library's table function and shows
// the rows in the results list, which the caller has emptied. `statusCode` and `elapsedSeconds`
// are written only when the table call was made. Returns the number of rows shown, 0 on every
// failure; failures are described in `statusMessage`.
int32_t DBQuery(const Engine &engine, const QString &databasePath, const QByteArray &sqlText,
                QString &statusMessage, int16_t &statusCode, float &elapsedSeconds);

inline int32_t DBQuery(const Engine &engine, const QString &databasePath, const QString &sqlText,
                       QString &statusMessage, int16_t &statusCode, float &elapsedSeconds)
{
    return DBQuery(engine, databasePath, sqlText.toUtf8(), statusMessage, statusCode, elapsedSeconds);
}

} // namespace kest
