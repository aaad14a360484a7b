#include "RunTimeFailure.h"

#include "KestruneBinding.h"

#include <new>
#include <stdexcept>

namespace kest {

QString DescribeCurrentFailure()
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory");
    } catch (const LibraryError &e) {
        return e.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

QString BracketedFailure(int checkpoint) noexcept
{
    try {
        QString text = QLatin1Char('[') + DescribeCurrentFailure();
        if (checkpoint >= 0)
            text += QStringLiteral(" after line: ") + QString::number(checkpoint);
        return text + QLatin1Char(']');
    } catch (...) {
        return QStringLiteral("[Out of memory]"); // static text: no allocation
    }
}

} // namespace kest
