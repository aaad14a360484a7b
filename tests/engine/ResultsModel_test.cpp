#include "ResultsModel.h"

#include "KestruneBinding.h"
#include "StandinLibrary.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <stdexcept>

using kest::ResultsModel;
using kest::test::Standin;

namespace {

// Every test runs its model under Qt's model checker, which aborts on a broken contract.
class ResultsList : public testing::Test {
protected:
    ResultsModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    QString header(int column) const
    {
        return model.headerData(column, Qt::Horizontal).toString();
    }
    QString shown(int row, int column) const
    {
        return model.data(model.index(row, column)).toString();
    }
};

// A table from the stand-in library: cell (c, r) reads "c<c>r<r>", row 0 "name<c>".
class AdoptedTable : public ResultsList {
protected:
    Standin standin;
    kest::KestruneBinding library{kest::test::standinPath()};

    kest::KestTable table(int columns, int dataRows)
    {
        standin.configureTable(columns, dataRows);
        kest::KestTable result;
        kest::KestText error;
        int16_t status = 0;
        library.sqlite_get_table(result, 1, "select", error, status);
        return result;
    }
};

} // namespace

TEST_F(ResultsList, RowsAddedOneByOneShowTheirCells)
{
    model.addColumn(QStringLiteral("Artist"));
    model.addColumn(QStringLiteral("Title"));
    model.addRow(QStringLiteral("Björk"));
    model.setCell(0, 1, QStringLiteral("Homogenic"));
    model.addRow(QString());
    model.setCell(1, 1, QStringLiteral("only the second"));

    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 2);
    EXPECT_EQ(header(0), QStringLiteral("Artist"));
    EXPECT_EQ(header(1), QStringLiteral("Title"));
    EXPECT_EQ(shown(0, 0), QStringLiteral("Björk"));
    EXPECT_EQ(shown(0, 1), QStringLiteral("Homogenic"));
    EXPECT_EQ(shown(1, 0), QString());
    EXPECT_EQ(shown(1, 1), QStringLiteral("only the second"));
    EXPECT_FALSE(model.headerData(0, Qt::Vertical).isValid()) << "no row numbers";
}

TEST_F(ResultsList, SettingACellAgainReplacesIt)
{
    model.addColumn(QStringLiteral("a"));
    model.addRow(QStringLiteral("first"));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setCell(0, 0, QStringLiteral("second"));
    EXPECT_EQ(shown(0, 0), QStringLiteral("second"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex(), model.index(0, 0));
}

TEST_F(ResultsList, CellBeyondTheLastColumnWidensTheList)
{
    model.addColumn(QStringLiteral("a"));
    model.addRow(QStringLiteral("a1"));
    model.addRow(QStringLiteral("a2"));
    model.setCell(1, 3, QStringLiteral("d2"));
    ASSERT_EQ(model.columnCount(), 4);
    EXPECT_EQ(header(3), QString());
    EXPECT_EQ(shown(0, 0), QStringLiteral("a1"));
    EXPECT_EQ(shown(1, 0), QStringLiteral("a2"));
    EXPECT_EQ(shown(1, 3), QStringLiteral("d2"));
    EXPECT_EQ(shown(0, 3), QString());
}

TEST_F(ResultsList, ColumnsAddedAfterRowsKeepTheRowsCells)
{
    model.addColumn(QStringLiteral("a"));
    model.addRow(QStringLiteral("a1"));
    model.addColumn(QStringLiteral("b"));
    model.setCell(0, 1, QStringLiteral("b1"));
    EXPECT_EQ(shown(0, 0), QStringLiteral("a1"));
    EXPECT_EQ(shown(0, 1), QStringLiteral("b1"));
}

TEST_F(ResultsList, CellOutsideTheRowsIsAFailureThatChangesNothing)
{
    model.addColumn(QStringLiteral("a"));
    model.addRow(QStringLiteral("a1"));
    EXPECT_THROW(model.setCell(1, 0, QStringLiteral("x")), std::out_of_range);
    EXPECT_THROW(model.setCell(-1, 0, QStringLiteral("x")), std::out_of_range);
    EXPECT_THROW(model.setCell(0, -1, QStringLiteral("x")), std::out_of_range);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnCount(), 1);
    EXPECT_EQ(shown(0, 0), QStringLiteral("a1"));
}

TEST_F(ResultsList, RemovingRowsThenColumnsEmptiesTheList)
{
    model.addColumn(QStringLiteral("a"));
    model.addRow(QStringLiteral("a1"));
    model.removeAllRows();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 1);
    model.removeAllColumns();
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_EQ(model.textBufferCount(), 0u);
    // The list is usable again afterwards.
    model.addColumn(QStringLiteral("z"));
    model.addRow(QStringLiteral("z1"));
    EXPECT_EQ(shown(0, 0), QStringLiteral("z1"));
}

// Without the model checker, which re-reads the whole model on every inserted row.
TEST(ResultsListSize, HundredsOfThousandsOfRowsLiveInAFewBuffers)
{
    constexpr int Rows = 300000;
    ResultsModel model;
    const auto shown = [&model](int row, int column) {
        return model.data(model.index(row, column)).toString();
    };
    model.addColumn(QStringLiteral("id"));
    model.addColumn(QStringLiteral("name"));
    model.addColumn(QStringLiteral("value"));
    for (int r = 0; r < Rows; ++r) {
        model.addRowUtf8(std::to_string(r));
        model.setCellUtf8(r, 1, "row number " + std::to_string(r));
        model.setCellUtf8(r, 2, std::to_string(r * 7));
    }
    ASSERT_EQ(model.rowCount(), Rows);
    for (int r : {0, 1, 4999, 123456, Rows - 1}) {
        EXPECT_EQ(shown(r, 0), QString::number(r));
        EXPECT_EQ(shown(r, 1), QStringLiteral("row number ") + QString::number(r));
        EXPECT_EQ(shown(r, 2), QString::number(r * 7));
    }
    // About 7.5 MB of text: a handful of megabyte buffers, not one allocation per cell.
    EXPECT_LT(model.textBufferCount(), 16u);
}

TEST_F(AdoptedTable, IsShownWithoutCopyingACell)
{
    const int tablesBefore = standin.liveTables();
    model.adoptTable(table(3, 4), 4);
    EXPECT_EQ(standin.liveTables(), tablesBefore + 1) << "the list keeps the table";
    EXPECT_TRUE(model.holdsTable());
    EXPECT_EQ(model.textBufferCount(), 0u) << "no cell was copied";
    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(header(0), QStringLiteral("name0"));
    EXPECT_EQ(header(2), QStringLiteral("name2"));
    EXPECT_EQ(shown(0, 0), QStringLiteral("c0r1"));
    EXPECT_EQ(shown(3, 2), QStringLiteral("c2r4"));

    model.removeAllRows();
    EXPECT_EQ(standin.liveTables(), tablesBefore) << "emptying the list frees the table";
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(AdoptedTable, ShowsOnlyTheRowsTheLibraryCounted)
{
    model.adoptTable(table(2, 5), 3);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(shown(2, 1), QStringLiteral("c1r3"));
    ResultsModel other;
    other.adoptTable(table(2, 2), 9); // more than the table has
    EXPECT_EQ(other.rowCount(), 2);
}

TEST_F(AdoptedTable, ColumnsFollowThosePresent)
{
    model.addColumn(QStringLiteral("before"));
    model.adoptTable(table(2, 1), 1);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(header(0), QStringLiteral("before"));
    EXPECT_EQ(header(1), QStringLiteral("name0"));
    EXPECT_EQ(shown(0, 0), QString());
    EXPECT_EQ(shown(0, 1), QStringLiteral("c0r1"));
    EXPECT_EQ(shown(0, 2), QStringLiteral("c1r1"));
}

TEST_F(AdoptedTable, BehindOtherRowsIsCopiedAndFreedAtOnce)
{
    const int tablesBefore = standin.liveTables();
    model.addColumn(QStringLiteral("own"));
    model.addRow(QStringLiteral("own1"));
    model.adoptTable(table(1, 2), 2);
    EXPECT_EQ(standin.liveTables(), tablesBefore);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(shown(0, 0), QStringLiteral("own1"));
    EXPECT_EQ(shown(1, 1), QStringLiteral("c0r1"));
    EXPECT_EQ(shown(2, 1), QStringLiteral("c0r2"));
}

TEST_F(AdoptedTable, RowsAddedLaterComeAfterIt)
{
    model.adoptTable(table(2, 2), 2);
    model.addRow(QStringLiteral("later"));
    model.setCell(2, 1, QStringLiteral("later too"));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_TRUE(model.holdsTable());
    EXPECT_EQ(shown(1, 1), QStringLiteral("c1r2"));
    EXPECT_EQ(shown(2, 0), QStringLiteral("later"));
    EXPECT_EQ(shown(2, 1), QStringLiteral("later too"));
}

TEST_F(AdoptedTable, ChangingOneOfItsCellsCopiesItFirst)
{
    const int tablesBefore = standin.liveTables();
    model.adoptTable(table(2, 3), 3);
    model.addRow(QStringLiteral("own"));
    model.setCell(1, 0, QStringLiteral("changed"));
    EXPECT_FALSE(model.holdsTable());
    EXPECT_EQ(standin.liveTables(), tablesBefore);
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(shown(0, 0), QStringLiteral("c0r1"));
    EXPECT_EQ(shown(1, 0), QStringLiteral("changed"));
    EXPECT_EQ(shown(1, 1), QStringLiteral("c1r2"));
    EXPECT_EQ(shown(2, 1), QStringLiteral("c1r3"));
    EXPECT_EQ(shown(3, 0), QStringLiteral("own"));
}

TEST_F(AdoptedTable, WithoutDataRowsAddsOnlyTheColumns)
{
    const int tablesBefore = standin.liveTables();
    model.adoptTable(table(2, 0), 0);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(standin.liveTables(), tablesBefore);
}
