#pragma once
// The open that both query paths make, and what they report when it fails.

#include "KestruneBinding.h"
#include "Paths.h"
#include "StatusTexts.h"

#include <QString>

#include <cstdint>

namespace kest {

// Read-write, created when missing; a URI ("file:…") is taken as a URI whatever the engine was
// built to assume (the library passes SQLite's flags on as they are).
inline int16_t OpenDatabase(KestruneBinding &library, const QString &databasePath, int32_t &handle)
{
    constexpr int32_t ReadWriteCreate = KEST_OPEN_READWRITE | KEST_OPEN_CREATE;
    return library.sqlite3_open_v2(databasePath.toUtf8(), handle,
                                   ReadWriteCreate | (IsDatabaseUri(databasePath) ? KEST_OPEN_URI : 0), nullptr);
}

// After the open: false, with the open's code and the file in the status, when there is no
// connection to run on.
inline bool Opened(KestruneBinding &library, int16_t openStatus, int32_t handle, const QString &databasePath,
                   QString &statusMessage, int16_t &statusCode)
{
    if (openStatus != 0) {
        statusCode = openStatus;
        // A library from before it gave the engine's words still has the file and the code shown.
        QString words;
        try {
            words = toQString(library.sqlite3_errstr(openStatus));
        } catch (...) {
        }
        statusMessage = OpenFailedText(databasePath, words);
        return false;
    }
    if (handle == 0) {
        statusMessage = QStringLiteral("No database handle returned");
        return false;
    }
    return true;
}

} // namespace kest
