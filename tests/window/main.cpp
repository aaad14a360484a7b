#include "TestRegistry.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

#include <cstdio>

namespace kest::test {

std::map<std::string, TestFactory> &testRegistry()
{
    static std::map<std::string, TestFactory> registry;
    return registry;
}

} // namespace kest::test

// window_tests <TestClass> [Qt Test arguments]
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Texts with numbers are checked in English; one test switches the locale on purpose.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto &registry = kest::test::testRegistry();
    const auto found = argc > 1 ? registry.find(argv[1]) : registry.end();
    if (found == registry.end()) {
        std::fputs("usage: window_tests <test class> [Qt Test arguments]; classes:\n", stderr);
        for (const auto &entry : registry)
            std::fprintf(stderr, "  %s\n", entry.first.c_str());
        return 2;
    }
    std::unique_ptr<QObject> test = found->second();
    argv[1] = argv[0];
    return QTest::qExec(test.get(), argc - 1, argv + 1);
}
