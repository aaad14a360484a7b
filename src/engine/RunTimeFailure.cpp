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

} // namespace kest
