#include "BenchSupport.h"

#include "DemoData.h"

#include <kestrune3.h>

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace kest::bench {
namespace {

int64_t statusField(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stoll(line.substr(std::string(field).size())) * 1024;
    }
    return -1;
}

} // namespace

void BuildDemoDatabase(const QString &path)
{
    QFile::remove(path);
    int32_t db = 0;
    if (kest_sqlite3_open_v2(path.toUtf8().constData(), &db, 6, nullptr) != KEST_OK)
        throw std::runtime_error("cannot create the benchmark database");
    for (const QString &sql : {QString(CreateArtistsTableSql), QString(CreateCDsTableSql), BuildArtistsScript(),
                               BuildCDsScript()}) {
        char *err = nullptr;
        const int16_t rc = kest_sqlite_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
        kest_free_text(err);
        if (rc != KEST_OK)
            throw std::runtime_error("cannot fill the benchmark database");
    }
    kest_sqlite3_close(&db);
}

void ResetPeakMemory()
{
    // Writing 5 resets the peak resident size that VmHWM reports.
    std::ofstream("/proc/self/clear_refs") << "5";
}

int64_t PeakMemoryBytes()
{
    return statusField("VmHWM:");
}

int64_t CurrentMemoryBytes()
{
    return statusField("VmRSS:");
}

double Seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

void Verdict(const char *what, double value, double limit)
{
    std::printf("  %-58s %8.3f (goal <= %.3f) %s\n", what, value, limit, value <= limit ? "met" : "NOT MET");
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace kest::bench
