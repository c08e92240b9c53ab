#pragma once
// The process's resident memory, now and at its highest while a sampler lives, for tests that
// bound what a piece of work may take. Any thread.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

inline long long ResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return 0;
}

// The highest resident figure while it lives, read every few milliseconds.
class PeakSampler
{
public:
    PeakSampler()
        : m_thread([this] {
              while (!m_stop) {
                  m_peak = std::max(m_peak.load(), ResidentBytes());
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          })
    {
    }
    ~PeakSampler() { Stop(); }
    PeakSampler(const PeakSampler &) = delete;
    PeakSampler &operator=(const PeakSampler &) = delete;
    long long Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return std::max(m_peak.load(), ResidentBytes());
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_peak{0};
    std::thread m_thread;
};
