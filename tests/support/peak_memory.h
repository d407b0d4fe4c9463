// How far this process's resident memory rose over a stretch of a test: the kernel's peak
// (VmHWM), reset where the stretch begins. Linux only; elsewhere it tells nothing.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace tonalyx::test {

class TPeakMemory {
  public:
    TPeakMemory() {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5" << std::flush;
        if (reset)
            FStart = Peak();
    }
    // The peak since this object was made, above the memory held then, in bytes; -1 where
    // the system does not keep it.
    std::int64_t Growth() const {
        const std::int64_t peak = Peak();
        return FStart < 0 || peak < 0 ? -1 : peak - FStart;
    }

  private:
    static std::int64_t Peak() {
        std::ifstream status("/proc/self/status");
        for (std::string key; status >> key;)
            if (key == "VmHWM:") {
                std::int64_t kb = -1;
                status >> kb;
                return kb < 0 ? -1 : kb * 1024;
            }
        return -1;
    }

    std::int64_t FStart = -1;
};

} // namespace tonalyx::test
