#pragma once
// One test program for the window; each Qt Test class registers under a name, and CTest runs
// one class per test (`window_tests <name>`).

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kest::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::map<std::string, TestFactory> &testRegistry();

template <typename T> bool registerTest(const char *name)
{
    testRegistry()[name] = [] { return std::make_unique<T>(); };
    return true;
}

} // namespace kest::test

#define KEST_REGISTER_TEST(Class) \
    static const bool registered##Class = kest::test::registerTest<Class>(#Class)
