// The insert scripts: their shape, their line ends and every statement's exact form.

#include "DemoData.h"

#include "QtPrinters.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

using kest::BuildArtistsScript;
using kest::BuildCDsScript;
using kest::DemoArtists;
using kest::DemoCDs;

namespace {

QString q(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Splits on CR LF after checking that no CR or LF stands on its own.
QStringList scriptLines(const QString &script)
{
    EXPECT_EQ(script.count(u'\r'), script.count(QLatin1StringView("\r\n")));
    EXPECT_EQ(script.count(u'\n'), script.count(QLatin1StringView("\r\n")));
    return script.split(QLatin1StringView("\r\n"));
}

QByteArray sha256(const QString &script)
{
    return QCryptographicHash::hash(script.toUtf8(), QCryptographicHash::Sha256).toHex();
}

} // namespace

TEST(DemoScripts, ArtistsScriptIsOneTransactionOfTwentySixLines)
{
    const QString script = BuildArtistsScript();
    const QStringList lines = scriptLines(script);
    ASSERT_EQ(lines.size(), 28);
    EXPECT_EQ(lines.front(), "BEGIN;");
    EXPECT_EQ(lines.back(), "COMMIT;");
    EXPECT_TRUE(script.endsWith(QLatin1StringView("');\r\nCOMMIT;")));
    EXPECT_EQ(lines[1], "INSERT INTO Artists (ArtistID,ArtistName) values (NULL,'Puddle of Mudd');");
}

TEST(DemoScripts, ArtistsScriptInsertsEveryNameInOrder)
{
    const QStringList lines = scriptLines(BuildArtistsScript());
    ASSERT_EQ(lines.size(), 28);
    const QRegularExpression insert(
        QStringLiteral(R"(^INSERT INTO Artists \(ArtistID,ArtistName\) values \(NULL,'([^']*)'\);$)"));
    for (int i = 0; i < 26; ++i) {
        const auto match = insert.match(lines[i + 1]);
        ASSERT_TRUE(match.hasMatch()) << lines[i + 1].toStdString();
        EXPECT_EQ(match.captured(1), q(DemoArtists[size_t(i)]));
    }
}

TEST(DemoScripts, CDsScriptIsOneTransactionOfTwoHundredFourLines)
{
    const QString script = BuildCDsScript();
    const QStringList lines = scriptLines(script);
    ASSERT_EQ(lines.size(), 206);
    EXPECT_EQ(lines.front(), "BEGIN;");
    EXPECT_EQ(lines.back(), "COMMIT;");
    EXPECT_FALSE(script.endsWith(u'\n'));
    EXPECT_EQ(lines[1], "INSERT INTO CDs (CDID,ArtistID,Title,Date) values (NULL,1,'Come Clean','2001');");
    EXPECT_EQ(lines[204], "INSERT INTO CDs (CDID,ArtistID,Title,Date) values (NULL,26,'Black Moon','1992');");
    EXPECT_EQ(lines[40], "INSERT INTO CDs (CDID,ArtistID,Title,Date) values (NULL,5,'United Abominations ','2007');");
}

TEST(DemoScripts, CDsScriptInsertsEveryRowInOrder)
{
    const QStringList lines = scriptLines(BuildCDsScript());
    ASSERT_EQ(lines.size(), 206);
    // Artist id unquoted, title and year quoted, no blank after any comma.
    const QRegularExpression insert(QStringLiteral(
        R"(^INSERT INTO CDs \(CDID,ArtistID,Title,Date\) values \(NULL,([0-9]+),'([^']*)','([0-9]{4})'\);$)"));
    for (int i = 0; i < 204; ++i) {
        const auto match = insert.match(lines[i + 1]);
        ASSERT_TRUE(match.hasMatch()) << lines[i + 1].toStdString();
        EXPECT_EQ(match.captured(1).toInt(), DemoCDs[size_t(i)].artistId) << i;
        EXPECT_EQ(match.captured(2), q(DemoCDs[size_t(i)].title)) << i;
        EXPECT_EQ(match.captured(3), q(DemoCDs[size_t(i)].date)) << i;
    }
}

TEST(DemoScripts, MatchTheDataSetCharacterForCharacter)
{
    // SHA-256 of the two scripts as built from the published tables of the data set; a
    // changed character anywhere in a name, title, year or statement changes it.
    const QString artists = BuildArtistsScript();
    const QString cds = BuildCDsScript();
    EXPECT_EQ(artists.size(), 1846);
    EXPECT_EQ(cds.size(), 17398);
    EXPECT_EQ(sha256(artists), "b92b1f12794b312b53db92353811a97ab97d417113b56ba2ec96193454dcffdf");
    EXPECT_EQ(sha256(cds), "710a6bffd1da24957c394d701779034fb952155041c389f7acde0598b7d5f368");
}

TEST(DemoSchema, CreateStatementsAreExact)
{
    EXPECT_EQ(QString(kest::CreateArtistsTableSql),
              "CREATE TABLE IF NOT EXISTS Artists (ArtistID INTEGER PRIMARY KEY, ArtistName TEXT)");
    EXPECT_EQ(QString(kest::CreateCDsTableSql),
              "CREATE TABLE IF NOT EXISTS  CDs (CDID INTEGER PRIMARY KEY, ArtistID INTEGER NOT NULL, "
              "Title TEXT NOT NULL, Date TEXT)");
    EXPECT_TRUE(QString(kest::CreateCDsTableSql).contains(QLatin1StringView("EXISTS  CDs (")));
    EXPECT_FALSE(QString(kest::CreateArtistsTableSql).endsWith(u';'));
    EXPECT_FALSE(QString(kest::CreateCDsTableSql).endsWith(u';'));
    EXPECT_EQ(QString(kest::DropArtistsTableSql), "DROP TABLE IF EXISTS Artists");
    EXPECT_EQ(QString(kest::DropCDsTableSql), "DROP TABLE IF EXISTS CDs");
}
