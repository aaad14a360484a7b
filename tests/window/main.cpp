#include "WindowTest.h"

#include <QApplication>

#include <cstdio>

namespace kest::test {

std::map<std::string, std::function<std::unique_ptr<QObject>()>> &testClasses()
{
    static std::map<std::string, std::function<std::unique_ptr<QObject>()>> classes;
    return classes;
}

} // namespace kest::test

// window_tests <test class> [Qt Test arguments]
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Texts with numbers are checked in English.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto &classes = kest::test::testClasses();
    const auto found = argc > 1 ? classes.find(argv[1]) : classes.end();
    if (found == classes.end()) {
        std::fputs("usage: window_tests <test class> [Qt Test arguments]\n", stderr);
        return 2;
    }
    const std::unique_ptr<QObject> test = found->second();
    argv[1] = argv[0];
    return QTest::qExec(test.get(), argc - 1, argv + 1);
}
