#include "KestruneBinding.h"

#include "StandinLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using kest::KestruneBinding;
using kest::LibraryError;
using kest::test::Standin;

namespace {

// What the platform's loader itself says about `name`.
QString loaderDescription(const QString &name)
{
    QLibrary library(name);
    EXPECT_FALSE(library.load());
    return library.errorString();
}

} // namespace

TEST(Binding, FindsTheLibraryInTheProgramsFolderFirst)
{
    KestruneBinding library(QString::fromLatin1(kest::test::StandinBaseName));
    EXPECT_TRUE(library.loadedFileName().isEmpty()) << "nothing is loaded before the first call";
    library.KestLibVersion();
    EXPECT_EQ(QFileInfo(library.loadedFileName()).absolutePath(),
              QCoreApplication::applicationDirPath());
    EXPECT_EQ(QFileInfo(library.loadedFileName()).canonicalFilePath(),
              QFileInfo(kest::test::standinPath()).canonicalFilePath());
}

TEST(Binding, MissingLibraryRaisesTheLoadersDescription)
{
    const QString name = QStringLiteral("kest_no_such_library");
    KestruneBinding library(name); // loading waits for the first call
    try {
        library.KestLibVersion();
        FAIL() << "a missing library must raise LibraryError";
    } catch (const LibraryError &error) {
        // Both places were tried: the program's folder, then the search path.
        const QString besideProgram =
            loaderDescription(QDir(QCoreApplication::applicationDirPath()).filePath(name));
        EXPECT_TRUE(error.description().contains(besideProgram)) << qPrintable(error.description());
        EXPECT_TRUE(error.description().contains(loaderDescription(name)))
            << qPrintable(error.description());
        EXPECT_STREQ(error.what(), error.description().toStdString().c_str());
    }
}

TEST(Binding, MissingLibraryByPathRaisesTheLoadersDescription)
{
    const QString path = QDir::temp().filePath(QStringLiteral("kest-missing/libkestrune3.so"));
    KestruneBinding library(path);
    try {
        library.MSVCVersion();
        FAIL() << "a missing library must raise LibraryError";
    } catch (const LibraryError &error) {
        EXPECT_EQ(error.description(), loaderDescription(path));
    }
}

TEST(Binding, MissingFunctionRaisesTheLoadersDescriptionNamingIt)
{
    KestruneBinding library(kest::test::partialStandinPath());
    EXPECT_NO_THROW(library.KestLibVersion());
    try {
        library.sqlite3_libversion_number();
        FAIL() << "a missing function must raise LibraryError";
    } catch (const LibraryError &error) {
        EXPECT_TRUE(error.description().contains(QLatin1String("kest_sqlite3_libversion_number")))
            << qPrintable(error.description());
    }
    // The failure is not remembered as a success: the next call fails again.
    EXPECT_THROW(library.sqlite3_libversion_number(), LibraryError);
}

TEST(Binding, CallsEachFunctionUnderItsExportedName)
{
    Standin standin;
    standin.configure(321, 1202, "stamp", "9.8.7", 9008007);
    KestruneBinding library(kest::test::standinPath());
    standin.resetCalls();
    EXPECT_EQ(library.KestLibVersion(), 321);
    EXPECT_EQ(library.MSVCVersion(), 1202);
    EXPECT_EQ(library.sqlite3_libversion_number(), 9008007);
    EXPECT_EQ(kest::toQString(library.sqlite3_libversion()), QStringLiteral("9.8.7"));
    EXPECT_EQ(kest::toQString(library.KestLibTimeStamp()), QStringLiteral("stamp"));
    library.SetUnicodeConversion(-1);
    EXPECT_EQ(standin.calls(), QStringLiteral("KestLibVersion;MSVCVersion;sqlite3_libversion_number;"
                                              "sqlite3_libversion;KestLibTimeStamp;"
                                              "SetUnicodeConversion(-1);"));
}

TEST(Binding, TextsAreFreedByTheLibrary)
{
    Standin standin;
    KestruneBinding library(kest::test::standinPath());
    const int before = standin.liveTexts();
    {
        kest::KestText version = library.sqlite3_libversion();
        kest::KestText stamp = library.KestLibTimeStamp();
        EXPECT_EQ(standin.liveTexts(), before + 2);
    }
    EXPECT_EQ(standin.liveTexts(), before);

    int32_t handle = 0;
    ASSERT_EQ(library.sqlite3_open_v2("x.db", handle, 6, nullptr), 0);
    {
        kest::KestText error;
        EXPECT_EQ(library.sqlite_exec(handle, "select * from t", nullptr, nullptr, error), 1);
        EXPECT_EQ(kest::toQString(error), QStringLiteral("no such table: select * from t"));
        EXPECT_EQ(standin.liveTexts(), before + 1);
    }
    EXPECT_EQ(standin.liveTexts(), before);
    library.sqlite3_close(handle);
    EXPECT_EQ(handle, 0);
}

TEST(Binding, TablesAreFreedByTheLibrary)
{
    Standin standin;
    standin.configureTable(3, 2);
    KestruneBinding library(kest::test::standinPath());
    const int before = standin.liveTables();
    int32_t handle = 1;
    {
        kest::KestTable table;
        kest::KestText error;
        int16_t status = -1;
        EXPECT_EQ(library.sqlite_get_table(table, handle, "select", error, status), 0);
        EXPECT_EQ(status, 0);
        ASSERT_TRUE(table);
        EXPECT_EQ(table->column_count, 3);
        EXPECT_EQ(table->row_count, 3);
        EXPECT_STREQ(KEST_CELL(table.get(), 2, 1), "c2r1");
        EXPECT_FALSE(error);
        EXPECT_EQ(library.sqlite_query_rowcount(), 2);
        EXPECT_EQ(standin.liveTables(), before + 1);
    }
    EXPECT_EQ(standin.liveTables(), before);
}
