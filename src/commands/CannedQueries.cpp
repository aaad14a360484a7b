#include "CannedQueries.h"

#include "CommandHost.h"
#include "DemoQueries.h"
#include "RunQuery.h"
#include "Utf8Text.h"

namespace kest {
namespace {

void runCanned(CommandHost &host, const QString &sql)
{
    host.setQueryText(sql);
    onRunQueryClicked(host);
}

} // namespace

void onQuery1Clicked(CommandHost &host)
{
    runCanned(host, Query1Sql);
}

void onQuery2Clicked(CommandHost &host)
{
    runCanned(host, Query2Sql);
}

void onDbInfoClicked(CommandHost &host)
{
    runCanned(host, DbInfoSql);
}

void onExplainClicked(CommandHost &host)
{
    runCanned(host, ExplainSql(Utf8Text(host.querySql())));
}

} // namespace kest
