// The open-file dialog's types and GetFileOpen through a scripted desktop.

#include "FileOpen.h"

#include "FakeDesktop.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using kest::FileType;

inline void PrintTo(const FileType &type, std::ostream *os)
{
    *os << '{' << type.description.toStdString() << " | " << type.patterns.toStdString() << '}';
}

namespace {

const FileType AllFiles{"All Files (*.*)", "*.*"};

} // namespace

TEST(FileTypes, EmptyFilterGivesTheAllFilesEntryAlone)
{
    EXPECT_EQ(kest::BuildFileTypes(QString()), QList<FileType>{AllFiles});
    EXPECT_EQ(kest::AllFilesType(), AllFiles);
}

TEST(FileTypes, BarePatternListServesAsItsOwnDescription)
{
    EXPECT_EQ(kest::BuildFileTypes(kest::DatabaseFilePatterns),
              (QList<FileType>{{"*.db;*.db3;*.sqlite files", "*.db;*.db3;*.sqlite"}, AllFiles}));
    EXPECT_EQ(kest::BuildFileTypes(QStringLiteral("*.txt")), (QList<FileType>{{"*.txt files", "*.txt"}, AllFiles}));
}

TEST(FileTypes, ListEndingInBarIsUsedAsItsPairs)
{
    EXPECT_EQ(kest::BuildFileTypes(kest::ScriptFilter),
              (QList<FileType>{{"SQL Script Files (*.SQL)", "*.SQL"}, {"Text Fles (*.TXT)", "*.TXT"}, AllFiles}));
}

TEST(FileTypes, ClosingDoubleBarEndsTheList)
{
    EXPECT_EQ(kest::BuildFileTypes(QStringLiteral("Databases|*.db||")),
              (QList<FileType>{{"Databases", "*.db"}, AllFiles}));
    // A description left without patterns is not offered.
    EXPECT_EQ(kest::BuildFileTypes(QStringLiteral("Databases|*.db|Orphan|")),
              (QList<FileType>{{"Databases", "*.db"}, AllFiles}));
    // The all-files entry comes last even when the caller listed one of its own.
    EXPECT_EQ(kest::BuildFileTypes(QStringLiteral("All Files (*.*)|*.*|Text|*.txt|")),
              (QList<FileType>{AllFiles, {"Text", "*.txt"}, AllFiles}));
}

TEST(GetFileOpen, ShowsTheDialogOnTheFolderWithTheBuiltTypes)
{
    FakeDesktop desktop;
    desktop.fileAnswers.enqueue(QStringLiteral("/data/music/Albums.db"));
    EXPECT_EQ(kest::GetFileOpen(desktop, QStringLiteral("."), kest::DatabaseFilePatterns), "/data/music/Albums.db");
    ASSERT_EQ(desktop.openRequests.size(), 1);
    EXPECT_EQ(desktop.openRequests[0].folder, ".");
    EXPECT_EQ(desktop.openRequests[0].types, kest::BuildFileTypes(kest::DatabaseFilePatterns));
}

TEST(GetFileOpen, CancelGivesEmptyText)
{
    FakeDesktop desktop;
    EXPECT_TRUE(kest::GetFileOpen(desktop, QStringLiteral("/tmp"), kest::ScriptFilter).isEmpty());
    ASSERT_EQ(desktop.openRequests.size(), 1);
    EXPECT_EQ(desktop.openRequests[0].folder, "/tmp");
    EXPECT_EQ(desktop.openRequests[0].types.size(), 3);
}

TEST(GetFileOpen, DialogFailureGivesEmptyTextAndTheProgramGoesOn)
{
    FakeDesktop desktop;
    desktop.dialogFails = true;
    desktop.fileAnswers.enqueue(QStringLiteral("/never/returned.db"));
    EXPECT_TRUE(kest::GetFileOpen(desktop, QStringLiteral("."), QString()).isEmpty());
    desktop.dialogFails = false;
    EXPECT_EQ(kest::GetFileOpen(desktop, QStringLiteral("."), QString()), "/never/returned.db");
    EXPECT_EQ(desktop.openRequests.size(), 2);
}
