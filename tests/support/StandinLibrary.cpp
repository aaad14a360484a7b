#include "StandinLibrary.h"

#include <stdexcept>

namespace kest::test {

QString standinPath() { return QStringLiteral(KEST_STANDIN_PATH); }
QString partialStandinPath() { return QStringLiteral(KEST_STANDIN_PARTIAL_PATH); }

Standin::Standin() : library_(standinPath())
{
    if (!library_.load())
        throw std::runtime_error(library_.errorString().toStdString());
}

template <typename Fn> Fn Standin::get(const char *name)
{
    auto fn = reinterpret_cast<Fn>(library_.resolve(name));
    if (!fn)
        throw std::runtime_error(library_.errorString().toStdString());
    return fn;
}

void Standin::configure(int16_t libVersion, int16_t msvcVersion, const char *timeStamp,
                        const char *engineVersion, int32_t engineNumber)
{
    get<void (*)(int16_t, int16_t, const char *, const char *, int32_t)>("standin_configure")(
        libVersion, msvcVersion, timeStamp, engineVersion, engineNumber);
}

void Standin::configureTable(int32_t columns, int32_t dataRows)
{
    get<void (*)(int32_t, int32_t)>("standin_configure_table")(columns, dataRows);
}

QString Standin::calls()
{
    return QString::fromUtf8(get<const char *(*)()>("standin_calls")());
}

void Standin::resetCalls() { get<void (*)()>("standin_reset_calls")(); }
int Standin::liveTexts() { return get<int (*)()>("standin_live_texts")(); }
int Standin::liveTables() { return get<int (*)()>("standin_live_tables")(); }

} // namespace kest::test
