#include "Paths.h"

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

QString SavedScriptPath(const QString &programFolder)
{
    return InProgramFolder(programFolder, SavedScriptFileName);
}

QString CsvOutputPath(const QString &programFolder)
{
    return InProgramFolder(programFolder, CsvOutputFileName);
}

QString CompleteDatabasePath(const QString &path, const QString &programFolder)
{
    if (std::any_of(path.begin(), path.end(), IsDirectorySeparator))
        return path;
    return InProgramFolder(programFolder, path);
}

} // namespace kest
