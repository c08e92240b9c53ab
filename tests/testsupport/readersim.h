#pragma once
// A simulated card reader on the far side of a pseudo-terminal pair, written from the reader's
// side of the wire with framing code of its own, so tests check the host's framing against it.
// It runs its own thread; every public method is thread-safe. Plain C++ and POSIX, so the
// command-line simulator can use it without Qt.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ReaderSim
{
public:
    using Bytes = std::vector<std::uint8_t>;
    using SteadyTime = std::chrono::steady_clock::time_point;

    enum class Model
    {
        DL317,
        RB58,
        RB59
    };

    // One frame as the reader read it from the host (envelope bytes FF left out).
    struct Frame
    {
        enum Kind
        {
            Command,
            Data,
            Text
        };
        Kind kind = Command;
        Bytes wire;    // the frame's bytes as they came, start to end byte
        Bytes payload; // command: address, command, arguments; data: the data; text: the command
        bool good = false; // length, check and end bytes as the reader expects them
        SteadyTime at;     // when its last byte came in
    };

    // How one reply goes wrong, for tests of what the host takes for a reply.
    struct Spoil
    {
        enum Kind
        {
            Late,  // the reply comes `ms` later than it would
            Cut,   // only the first `keep` bytes of its payload go out, framed whole
            Other, // a reply with the payload `other` goes out in its place...
        };
        Kind kind = Late;
        int ms = 0;
        std::size_t keep = 0;
        Bytes other;
        bool thenReal = false; // ...or, when set, before it
    };

    // A broken-down reader time.
    struct Time
    {
        int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    };

    ReaderSim();
    ~ReaderSim();
    ReaderSim(const ReaderSim &) = delete;
    ReaderSim &operator=(const ReaderSim &) = delete;

    // Opens the pseudo-terminal pair and starts the reader; false (with ErrorText) on failure.
    bool Start();
    void Stop();
    // The device the host opens.
    std::string DevicePath() const;
    std::string ErrorText() const;

    // The reader's packed time; the host reads it high byte first in a card frame and low byte
    // first in a log record.
    static std::uint32_t PackTime(const Time &t);

    // Unsolicited frames. Each returns when its last byte has been written.
    SteadyTime SendCard(int code);
    void SendStoredCard(int code, bool offline, int mode, const Time &t);
    void SendStoredCardPacked(int code, std::uint8_t modeByte, std::uint32_t packed);
    void SendExitButton();   // "P"
    void SendExitReleased(); // "p"
    void SendPowerUp();      // "R"
    void SendTimeRequest();  // "C"
    void SendAnswer(char c); // any 2-byte frame
    void SendRaw(const Bytes &bytes);

    // Behaviour.
    void SetSilent(bool silent);
    void SetReplyDelay(int ms);
    // Flips every bit of byte `index` (from the start byte) of the next frame the reader sends;
    // -1 picks its check byte.
    void CorruptNextByte(int index = -1);
    void SetModel(Model model);
    void SetAddress(std::uint8_t address);
    // Whether the access-table text commands answer "G" (true) or "B".
    void SetTextAnswersGood(bool good);
    // Answers the next `frames` frames as usual, then none at all (a negative count: all).
    void SetSilentAfter(int frames);
    // Each capacity query of the logs reports delta records more than the one before it, as
    // if swipes came in between.
    void SetCountDrift(int delta);
    // The next `times` fetches of a stored log record answer it with its time bytes zeroed.
    void SetBadFetches(int record, int times);
    // The reply to one command comes that late (over SetReplyDelay); a negative ms removes it.
    void SetCommandDelay(std::uint8_t command, int ms);

    // Spoils the next `times` replies to `command`; for a fetch (04h) of the logs only those
    // to record `record` (-1: any record, and any table).
    void SpoilReplies(std::uint8_t command, int record, const Spoil &spoil, int times = 1);

    // Access-table text commands: the next n of them ("~@", "~CC", "~A") get no answer at
    // all, as from a reader that missed them; the ones after are answered as usual.
    void SkipTextReplies(int n);
    // The first n model queries ("~@") get no answer, as from a reader still starting up; the
    // other text commands are answered as usual.
    void LeaveModelQueriesUnanswered(int n);
    // The first k card adds ("~A") are answered "B" and not stored, as from a reader whose
    // table was busy; the ones after are answered as usual.
    void RefuseCardAdds(int k);

    // Stored data of the reader.
    void AddLog(std::uint8_t firstByte, int card, std::uint32_t packed);
    void SetLogCapacity(int capacity);
    void SetAccessCapacity(int capacity);
    std::vector<std::array<std::uint8_t, 8>> Logs() const;
    void SetSetting(std::uint8_t number, const Bytes &value);
    Bytes Setting(std::uint8_t number) const;
    Bytes AccessPage(int page) const; // 264 bytes, FFh where nothing was written
    std::vector<int> Cards() const;   // added by the add-card text command, in order
    // The reader's own clock, running from the last set-clock command.
    Time ClockNow() const;
    void SetClock(const Time &t);

    // What the reader received.
    std::vector<Frame> Received() const;
    Bytes RawReceived() const;
    void ClearReceived();
    // Waits until at least `count` frames have been received; false on time-out.
    bool WaitForFrames(std::size_t count, int timeoutMs) const;

private:
    struct SpoilRule
    {
        std::uint8_t command;
        int record;
        Spoil spoil;
        int times;
    };

    struct Pending
    {
        SteadyTime due;
        Bytes bytes;
    };

    void run();
    void onByte(std::uint8_t b);
    void finishFrame(Frame f);
    void handleCommand(const Bytes &p);
    void handleData(const Bytes &data);
    void handleText(const Bytes &cmd);
    void reply(const Bytes &payload);
    void replyLong(const Bytes &data);
    void answer(char c);
    void queueOut(Bytes frame);
    void writeNow(Bytes frame);
    static Bytes unsolicited(const Bytes &body);
    void wake();
    long long clockNowSeconds() const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_received;
    std::mutex m_writeMutex;
    std::thread m_thread;
    int m_master = -1;
    int m_slave = -1;
    int m_wakePipe[2] = {-1, -1};
    bool m_stop = false;
    std::string m_path;
    std::string m_error;

    // behaviour
    bool m_silent = false;
    int m_replyDelay = 0;
    int m_corruptIndex = -2; // -2: none pending
    Model m_model = Model::DL317;
    std::uint8_t m_address = 0;
    bool m_textGood = true;
    int m_answerBudget = -1;
    int m_countDrift = 0;
    int m_capacityQueries = 0;
    std::map<int, int> m_badFetches;
    std::map<int, int> m_commandDelays;
    int m_nextDelay = -1; // sim thread: the delay of the reply being made
    std::vector<SpoilRule> m_spoils;
    bool m_spoiling = false; // sim thread: m_spoil applies to the reply being made
    Spoil m_spoil;
    int m_textRepliesToSkip = 0;
    int m_modelQueriesToSkip = 0;
    int m_addsToRefuse = 0;

    // stored data
    std::vector<std::array<std::uint8_t, 8>> m_logs;
    int m_logCapacity = 2000;
    int m_accessCapacity = 1000;
    std::map<int, Bytes> m_settings;
    std::map<int, Bytes> m_accessPages;
    std::vector<int> m_cards;
    long long m_clockBase = 0; // seconds since 1970 as a naive reader time
    SteadyTime m_clockSetAt;

    // receive side (sim thread only, besides the recorded frames)
    enum class RxState
    {
        Idle,
        Length,
        Body,
        DataBody,
        TextSecond,
        TextBody
    };
    RxState m_rx = RxState::Idle;
    Bytes m_frame;
    std::size_t m_need = 0;
    bool m_expectData = false;
    int m_pendingPage = 0;
    std::vector<Frame> m_frames;
    Bytes m_raw;
    std::vector<Pending> m_out;
};
