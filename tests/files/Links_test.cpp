// The two links and the shell operation behind them.

#include "Links.h"

#include "FakeDesktop.h"
#include "QtPrinters.h"

#include <QUrl>

#include <gtest/gtest.h>

TEST(Links, SqliteSiteIsTheProjectsHttpsAddress)
{
    const QUrl url(kest::SqliteSiteUrl);
    EXPECT_TRUE(url.isValid());
    EXPECT_EQ(url.scheme(), "https");
    EXPECT_EQ(url.host(), "sqlite.org");
}

TEST(Links, AuthorSiteIsTheReadmeBesideTheProgram)
{
    const QUrl url(kest::AuthorSiteUrl(QStringLiteral("/opt/kestrune")));
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), "/opt/kestrune/README.md");
    EXPECT_EQ(kest::AuthorSiteUrl(QStringLiteral("/opt/kestrune")), "file:///opt/kestrune/README.md");
}

TEST(Links, AuthorSiteSurvivesBlanksAndNonAsciiInTheFolder)
{
    const QString folder = QStringLiteral("/home/zoë/My Programs/#1");
    const QString address = kest::AuthorSiteUrl(folder);
    EXPECT_FALSE(address.contains(u' '));
    EXPECT_EQ(QUrl(address).toLocalFile(), folder + QStringLiteral("/README.md"));
}

TEST(Links, ShellOpenHandsTargetAndShowCodeToTheShell)
{
    FakeDesktop desktop;
    EXPECT_TRUE(kest::ShellOpen(desktop, kest::SqliteSiteUrl, kest::ShowNormal));
    desktop.shellAccepts = false;
    EXPECT_FALSE(kest::ShellOpen(desktop, QStringLiteral("file:///nowhere/README.md"), 3));
    ASSERT_EQ(desktop.shellRequests.size(), 2);
    EXPECT_EQ(desktop.shellRequests[0].target, "https://sqlite.org/");
    EXPECT_EQ(desktop.shellRequests[0].showCode, 1);
    EXPECT_EQ(desktop.shellRequests[1].target, "file:///nowhere/README.md");
    EXPECT_EQ(desktop.shellRequests[1].showCode, 3);
}
