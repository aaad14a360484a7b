#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace kest {

bool IsDirectorySeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\';
#else
    return c == u'/';
#endif
}

QString InProgramFolder(const QString &programFolder, const QString &fileName)
{
    QString path = programFolder;
    if (path.isEmpty() || !IsDirectorySeparator(path.back()))
        path += u'/';
    return path + fileName;
}

QString DataFolder(const QString &programFolder)
{
    // The program's folder is judged for this user each time (access(2) on Unix), so that a
    // folder made writable while the program runs is used again.
    if (QFileInfo(programFolder).isWritable())
        return programFolder;
    // A fixed folder name rather than the executable's, so that a renamed copy finds its files.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/kestrune-demo");
    QDir().mkpath(folder);
    return folder;
}

QString SavedScriptPath(const QString &programFolder)
{
    return InProgramFolder(DataFolder(programFolder), SavedScriptFileName);
}

QString CsvOutputPath(const QString &programFolder)
{
    return InProgramFolder(DataFolder(programFolder), CsvOutputFileName);
}

QString CompleteDatabasePath(const QString &path, const QString &programFolder)
{
    if (std::any_of(path.begin(), path.end(), IsDirectorySeparator))
        return path;
    return InProgramFolder(DataFolder(programFolder), path);
}

} // namespace kest
