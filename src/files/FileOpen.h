#pragma once
// The open-file dialog as the browse and Load Script commands use it.

#include "Desktop.h"

#include <QLatin1StringView>
#include <QList>
#include <QString>

namespace kest {

// The browse button's patterns; a bare list, so it serves as its own description.
inline constexpr QLatin1StringView DatabaseFilePatterns{"*.db;*.db3;*.sqlite"};
// Load Script's file types, description and patterns each followed by "|" ("Fles" as it stands).
inline constexpr QLatin1StringView ScriptFilter{
    "SQL Script Files (*.SQL)|*.SQL|Text Fles (*.TXT)|*.TXT|"};
// Both commands open the dialog on the process's current working directory.
inline constexpr QLatin1StringView BrowseStartFolder{"."};

// Offered last in every dialog.
FileType AllFilesType();

// The dialog's file types for `filter`, the all-files entry always last:
//  - empty: the all-files entry alone;
//  - not ending in "|": a bare pattern list P, offered as "P files" with patterns P;
//  - ending in "|": description|patterns| pairs in order, up to the first empty element
//    (so a closing "||" is accepted); a description without patterns is dropped.
QList<FileType> BuildFileTypes(const QString &filter);

// Shows the open-file dialog on `folder` with the types of `filter`, the first selected.
// Returns the chosen file's full path, or empty text when the user cancelled or the dialog
// failed in any way: a failure here never ends the program.
QString GetFileOpen(Desktop &desktop, const QString &folder, const QString &filter);

} // namespace kest
