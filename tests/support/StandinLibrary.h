#pragma once
// The tests' handle on the stand-in library: its path and its own controls. The binding under
// test loads the same file, so both see one copy of the stand-in's state.

#include <QLibrary>
#include <QString>

#include <cstdint>

namespace kest::test {

QString standinPath();         // every function of the library
QString partialStandinPath();  // lacks everything after kest_KestLibVersion
// The base name under which the stand-in lies beside the test programs.
inline constexpr const char *StandinBaseName = "kest_standin";

class Standin {
public:
    Standin();
    void configure(int16_t libVersion, int16_t msvcVersion, const char *timeStamp,
                   const char *engineVersion, int32_t engineNumber);
    void configureTable(int32_t columns, int32_t dataRows);
    // The library functions called so far, "name;" each; SetUnicodeConversion with its argument.
    QString calls();
    void resetCalls();
    int liveTexts();
    int liveTables();

private:
    template <typename Fn> Fn get(const char *name);
    QLibrary library_;
};

} // namespace kest::test
