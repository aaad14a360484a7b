#pragma once
// The engine over the real library (KEST_REAL_LIBRARY, the build's own), for the engine's tests
// and the reliability tests: a temporary folder for databases and a window that records.

#include "KestruneBinding.h"
#include "ModuleState.h"
#include "RecordingWindow.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kest::test {

// Loaded once: loading the library for every test would only repeat the same work.
inline KestruneBinding &realLibrary()
{
    static KestruneBinding binding{QStringLiteral(KEST_REAL_LIBRARY)};
    return binding;
}

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString database() const { return dir.filePath(QStringLiteral("test.db")); }

    QTemporaryDir dir;
    RecordingWindow window;
    ModuleState state;
    Engine engine{realLibrary(), window, state};
    // What a run writes back, set to values no run leaves so that an untouched one shows.
    QString message = QStringLiteral("caller");
    int16_t code = -7;
    float seconds = -7;
};

} // namespace kest::test
