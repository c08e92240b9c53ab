#pragma once
// TOfflineSession: the exchanges of the offline reader manager with one reader, without any
// window: each operation locks the reader, sends its steps with up to three tries each and
// unlocks it, showing "No response from the reader." for the first step that fails (and then
// leaving the reader locked). Every wait sleeps on events against its own deadline, so the desk
// keeps answering swipes meanwhile. Also the settings page's values and their registry form.
// Main thread only.

#include "readerlink/readercmd.h"
#include "store/settingkeys.h"

#include <QDateTime>
#include <QString>
#include <QTime>

#include <array>
#include <functional>
#include <vector>

class QWidget;
class TRfidReader;

// The reader's settings page: what Get reads and Put writes.
struct TOfflineSettings
{
    QString Line1 = QString::fromUtf8(Setting::LogoLine1.Default);
    QString Line2 = QString::fromUtf8(Setting::LogoLine2.Default);
    int Pin = 0;
    int Options = 0;                                   // ReaderOption bits
    std::array<int, ReaderTimetableSlots> RowMode{};   // 0 "Not Used", 1, 2
    std::array<QTime, ReaderTimetableSlots> RowTime{}; // hours and minutes
    QDateTime Clock;                                   // the reader's, after a read
    TOfflineSettings() { RowTime.fill(QTime(0, 0)); }
    bool TimetableInUse() const;
};

// The manager's values kept in the settings between openings.
struct TOfflinePrefs
{
    int DefPort = 0; // index into the reader choice
    bool ClearAfter = true;
    bool SetClock = true;
    TOfflineSettings Page;
};

// Reads the stored values; anything outside its choices reads as the first choice ("00:00"
// for a time). portCount is the number of entries in the reader choice.
TOfflinePrefs LoadSettings(int portCount);
// Writes them; the port index only when an entry is chosen (portChosen). Lines are written
// padded to 16 characters, times as "HH:mm:ss".
void SaveSettings(const TOfflinePrefs &prefs, bool portChosen);

// The counts of one download.
struct TDownloadCounts
{
    quint16 Added = 0;
    quint16 Duplicated = 0;
    quint16 Invalid = 0;
};

// One staff row on a card page.
struct TCardRow
{
    bool Allowed = false; // may pass the reader
    int Card = 0;
    QString Name;
};

class TOfflineSession
{
public:
    // Extra time a wait allows beyond the reader's own reply wait before it gives up by itself.
    static constexpr int WaitSlack = 250;
    static constexpr int Tries = 3;

    TOfflineSession() = default;
    TOfflineSession(const TOfflineSession &) = delete;
    TOfflineSession &operator=(const TOfflineSession &) = delete;

    void SetReader(TRfidReader *reader) { m_reader = reader; }
    TRfidReader *Reader() const { return m_reader; }
    // Owner of the progress windows (may be null).
    void SetProgressOwner(QWidget *owner) { m_progressOwner = owner; }

    // Told whenever the status box changes: shown with the step's name, or hidden.
    std::function<void(bool shown, const QString &text)> OnStatus;
    // Told when a session starts and when it ends, so a window can refuse its commands.
    std::function<void(bool busy)> OnBusy;

    // True while an operation runs; a second one asked for meanwhile is refused.
    bool Busy() const { return m_busy; }
    bool StatusShown() const { return m_statusShown; }
    QString StatusText() const { return m_statusText; }

    // The operations. Each returns true when it ran to its closing message; with no reader,
    // or while another operation runs, it does nothing and returns false.
    bool SetClock();
    bool ClearRecord();
    bool Download(bool clearAfter, TDownloadCounts *counts = nullptr);
    bool UploadCards();
    bool GetMasterPin(int &pin);
    bool PutMasterPin(int pin);
    // Fills the page as the reader answers; what the reader did not answer keeps its value.
    bool GetSettings(TOfflineSettings &page);
    // Pads the lines of the page as sent; setClock sends the clock first.
    bool PutSettings(TOfflineSettings &page, bool setClock);

    // Step helpers, each on the chosen reader.
    bool WaitReply(int ms);
    bool LockReader();
    bool SendWithRetry(const QByteArray &payload);
    bool SendWithRetryTimeout(const QByteArray &payload, int ms);
    bool UnlockReader();
    bool SendPage(const QByteArray &command, const QByteArray &page);
    void FailStep();
    static void ReportNoResponse();

    QByteArray MakeClockPayload() const;
    bool ClearLogs(int capacity);

    // The staff rows as the card pages carry them, by name, for a reader port.
    static std::vector<TCardRow> ReadCardRows(int port);
    // The card pages of N rows: (N + 1) div 12 + 1 of them, the rest of each filled with FFh;
    // stepped is told after each row laid.
    static std::vector<QByteArray> LayCardPages(const std::vector<TCardRow> &rows,
                                                const std::function<void()> &stepped = {});

private:
    class Running;
    // One try: send puts a frame on the line, then the reply is awaited for ms.
    bool trySend(const std::function<void(TRfidReader &)> &send, int ms);
    // Up to Tries tries; when the last fails, FailStep.
    bool sendWithRetry(const std::function<void(TRfidReader &)> &send, int ms);
    void status(const QString &text);
    void hideStatus();
    bool step(const QString &text, const QByteArray &payload);
    // The logs' capacity and record count, as one step.
    bool readCapacity(const QString &text, int &capacity, int &count);
    bool unlockAndTell(const QString &text, bool error = false);

    TRfidReader *m_reader = nullptr;
    QWidget *m_progressOwner = nullptr;
    bool m_busy = false;
    bool m_statusShown = false;
    QString m_statusText;
};
