// The fixed files in the program's folder and the completion of a bare database name.

#include "Paths.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

TEST(Paths, FixedFilesLieInTheProgramFolder)
{
    EXPECT_EQ(kest::SavedScriptPath(QStringLiteral("/opt/kestrune")), "/opt/kestrune/Kestrune-saved.sql");
    EXPECT_EQ(kest::CsvOutputPath(QStringLiteral("/opt/kestrune")), "/opt/kestrune/Kestrune-output.csv");
}

TEST(Paths, FolderEndingInASeparatorGetsNoSecondOne)
{
    EXPECT_EQ(kest::CsvOutputPath(QStringLiteral("/")), "/Kestrune-output.csv");
    EXPECT_EQ(kest::SavedScriptPath(QStringLiteral("/opt/kestrune/")), "/opt/kestrune/Kestrune-saved.sql");
}

TEST(Paths, BareDatabaseNameIsCompletedWithTheProgramFolder)
{
    EXPECT_EQ(kest::CompleteDatabasePath(QStringLiteral("Albums.db"), QStringLiteral("/opt/kestrune")),
              "/opt/kestrune/Albums.db");
    EXPECT_EQ(kest::CompleteDatabasePath(QStringLiteral("  my music.db"), QStringLiteral("/opt/k")),
              "/opt/k/  my music.db");
}

TEST(Paths, PathWithASeparatorIsUsedAsTyped)
{
    for (const QString &path : {QStringLiteral("/data/Albums.db"), QStringLiteral("data/Albums.db"),
                                QStringLiteral("./Albums.db"), QStringLiteral("../x/y.sqlite")})
        EXPECT_EQ(kest::CompleteDatabasePath(path, QStringLiteral("/opt/kestrune")), path);
}

TEST(Paths, EmptyNameBecomesTheFolderItself)
{
    EXPECT_EQ(kest::CompleteDatabasePath(QString(), QStringLiteral("/opt/kestrune")), "/opt/kestrune/");
}

TEST(Paths, BackslashSeparatesOnlyOnWindows)
{
    const QString typed = QStringLiteral("music\\Albums.db");
#ifdef Q_OS_WIN
    EXPECT_TRUE(kest::IsDirectorySeparator(u'\\'));
    EXPECT_EQ(kest::CompleteDatabasePath(typed, QStringLiteral("C:/kestrune")), typed);
#else
    EXPECT_FALSE(kest::IsDirectorySeparator(u'\\'));
    EXPECT_EQ(kest::CompleteDatabasePath(typed, QStringLiteral("/opt/kestrune")), "/opt/kestrune/music\\Albums.db");
#endif
    EXPECT_TRUE(kest::IsDirectorySeparator(u'/'));
    EXPECT_FALSE(kest::IsDirectorySeparator(u':'));
}
