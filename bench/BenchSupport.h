#pragma once
// What the in-process benchmarks share: the demonstration database, memory readings and medians.

#include <QString>

#include <chrono>
#include <cstdint>
#include <vector>

namespace kest::bench {

// Creates and fills the demonstration tables in `path` through the library (26 artists, 204 albums).
void BuildDemoDatabase(const QString &path);

// Peak resident memory since the last ResetPeakMemory(), and the resident memory now, in bytes.
void ResetPeakMemory();
int64_t PeakMemoryBytes();
int64_t CurrentMemoryBytes();

double Median(std::vector<double> values);

double Seconds(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to);

// Prints one measured figure with its goal and whether the goal is met.
void Verdict(const char *what, double value, double limit);

} // namespace kest::bench
