#include "CannedQueries.h"

#include "CommandHost.h"
#include "DemoQueries.h"
#include "ModuleState.h"
#include "RunQuery.h"

namespace kest {
namespace {

void runCanned(CommandHost &host, const QString &sql)
{
    if (host.state().QueryRunning)
        return;
    host.setQueryText(sql);
    Command1_Click(host);
}

} // namespace

void Command11_Click(CommandHost &host)
{
    runCanned(host, Query1Sql);
}

void Command16_Click(CommandHost &host)
{
    runCanned(host, Query2Sql);
}

void Command13_Click(CommandHost &host)
{
    runCanned(host, DbInfoSql);
}

void Command18_Click(CommandHost &host)
{
    runCanned(host, ExplainSql(host.queryText()));
}

} // namespace kest
