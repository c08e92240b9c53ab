#pragma once
// A pseudo-terminal pair for serial tests: the code under test opens SlavePath() as its
// device, the test plays the far end on the master side. One thread at a time.

#include <string>

class PtyPair
{
public:
    PtyPair(); // opens the pair; Ok() tells whether that worked
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool Ok() const { return m_master >= 0 && m_slave >= 0; }
    const std::string &SlavePath() const { return m_slavePath; }
    int Master() const { return m_master; }
    // The test's own descriptor on the device side, for tcgetattr and the like.
    int Slave() const { return m_slave; }

    // Writes all bytes to the master side; false on failure.
    bool WriteMaster(const std::string &bytes);
    // Reads from the master side until count bytes have come or timeoutMs has passed.
    std::string ReadMaster(std::size_t count, int timeoutMs);
    // Closing the master hangs up the device side.
    void CloseMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};
