#include "DemoQueries.h"

namespace kest {

QString ExplainSql(const QString &currentQuery)
{
    QString text = ExplainCommentLine;
    text += QLatin1StringView("\r\nEXPLAIN ");
    text += currentQuery;
    return text;
}

} // namespace kest
