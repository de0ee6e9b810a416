// Elapsed time from the system's high-resolution counter.
#pragma once

#include <windows.h>

namespace sim::validate {

class Stopwatch {
 public:
  Stopwatch() { QueryPerformanceCounter(&start_); }
  double seconds() const {
    static const double kTicksPerSecond = [] {
      LARGE_INTEGER frequency;
      QueryPerformanceFrequency(&frequency);
      return static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) / kTicksPerSecond;
  }

 private:
  LARGE_INTEGER start_;
};

}  // namespace sim::validate
