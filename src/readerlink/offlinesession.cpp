#include "readerlink/offlinesession.h"

#include "readerlink/reader.h"
#include "readerlink/serialerror.h"
#include "store/datasrc.h"
#include "store/eventwait.h"
#include "store/logrow.h"
#include "store/messages.h"
#include "store/pgbar.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QLocale>

#include <iterator>
#include <memory>

namespace {
constexpr int RowChoices = 3; // "Not Used" and two more
constexpr int OptionMask = 0x1F;
static_assert(std::size(Setting::OfflineRowMode) == ReaderTimetableSlots &&
              std::size(Setting::OfflineRowTime) == ReaderTimetableSlots);

// A stored row time: our own "HH:mm:ss", the short "HH:mm", or what the locale writes.
QTime parseRowTime(const QString &text)
{
    const QString t = text.trimmed();
    for (const QString &format : {QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm:ss"),
                                  QStringLiteral("HH:mm"), QStringLiteral("H:mm")}) {
        const QTime time = QTime::fromString(t, format);
        if (time.isValid())
            return QTime(time.hour(), time.minute());
    }
    const QLocale locale;
    for (const auto format : {QLocale::LongFormat, QLocale::ShortFormat}) {
        const QTime time = locale.toTime(t, format);
        if (time.isValid())
            return QTime(time.hour(), time.minute());
    }
    return QTime(0, 0);
}

int rowChoice(int value)
{
    return value >= 0 && value < RowChoices ? value : 0;
}
} // namespace

bool TOfflineSettings::TimetableInUse() const
{
    for (int mode : RowMode)
        if (mode > 0)
            return true;
    return false;
}

TOfflinePrefs LoadSettings(int portCount)
{
    TOfflinePrefs prefs;
    const int port = ReadRegInteger(Setting::OfflineDefPort);
    prefs.DefPort = port >= 0 && port < portCount ? port : 0;
    TOfflineSettings &page = prefs.Page;
    page.Line1 = ReadRegString(Setting::LogoLine1);
    page.Line2 = ReadRegString(Setting::LogoLine2);
    const int pin = ReadRegInteger(Setting::OfflinePin);
    page.Pin = pin >= 0 && pin <= 0xFFFF ? pin : 0;
    for (int row = 0; row < ReaderTimetableSlots; ++row) {
        page.RowMode[row] = rowChoice(ReadRegInteger(Setting::OfflineRowMode[row]));
        page.RowTime[row] = parseRowTime(ReadRegString(Setting::OfflineRowTime[row]));
    }
    prefs.ClearAfter = ReadRegBool(Setting::OfflineClearAfter);
    prefs.SetClock = ReadRegBool(Setting::OfflineSetClock);
    page.Options = ReadRegInteger(Setting::OfflineOptions) & OptionMask;
    return prefs;
}

void SaveSettings(const TOfflinePrefs &prefs, bool portChosen)
{
    if (portChosen)
        WriteRegInteger(Setting::OfflineDefPort, prefs.DefPort);
    const TOfflineSettings &page = prefs.Page;
    WriteRegString(Setting::LogoLine1, PadToWidth(page.Line1, ReaderNameWidth));
    WriteRegString(Setting::LogoLine2, PadToWidth(page.Line2, ReaderNameWidth));
    WriteRegInteger(Setting::OfflinePin, page.Pin);
    for (int row = 0; row < ReaderTimetableSlots; ++row) {
        WriteRegInteger(Setting::OfflineRowMode[row], rowChoice(page.RowMode[row]));
        WriteRegString(Setting::OfflineRowTime[row],
                       page.RowTime[row].toString(QStringLiteral("HH:mm:ss")));
    }
    WriteRegBool(Setting::OfflineClearAfter, prefs.ClearAfter);
    WriteRegBool(Setting::OfflineSetClock, prefs.SetClock);
    WriteRegInteger(Setting::OfflineOptions, page.Options & OptionMask);
}

// --- the session ---------------------------------------------------------------------------

// Marks the session busy for one operation; the status box goes when the operation ends,
// whichever way it ends.
class TOfflineSession::Running
{
public:
    explicit Running(TOfflineSession &s) : m_s(s)
    {
        m_s.m_busy = true;
        if (m_s.OnBusy)
            m_s.OnBusy(true);
    }
    ~Running()
    {
        m_s.hideStatus();
        m_s.m_busy = false;
        if (m_s.OnBusy)
            m_s.OnBusy(false);
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    TOfflineSession &m_s;
};

void TOfflineSession::status(const QString &text)
{
    m_statusShown = true;
    m_statusText = text;
    if (OnStatus)
        OnStatus(true, text);
}

void TOfflineSession::hideStatus()
{
    if (!m_statusShown)
        return;
    m_statusShown = false;
    if (OnStatus)
        OnStatus(false, m_statusText);
}

void TOfflineSession::ReportNoResponse()
{
    ShowError(QStringLiteral("No response from the reader."));
}

void TOfflineSession::FailStep()
{
    hideStatus();
    ReportNoResponse();
}

bool TOfflineSession::WaitReply(int ms)
{
    // Its own deadline: the reader's reply timer ends the wait first, but a wait must end
    // even if nothing at all happens on the line.
    WaitOnEvents([this] { return m_reader->PktGood() || m_reader->PktTimeout(); },
                 QDeadlineTimer(ms + WaitSlack));
    return m_reader->PktGood();
}

bool TOfflineSession::trySend(const std::function<void(TRfidReader &)> &send, int ms)
{
    // A frame that did not go out is a failed try: the reply flags still tell of the last
    // exchange and must not be read as this one's.
    if (!m_reader->Connected())
        return false;
    try {
        send(*m_reader);
    } catch (const ESerialPort &e) {
        qWarning("Reader on %s: %s", qPrintable(m_reader->Port()), e.what());
        return false;
    }
    return WaitReply(ms);
}

bool TOfflineSession::sendWithRetry(const std::function<void(TRfidReader &)> &send, int ms)
{
    for (int t = 0; t < Tries; ++t)
        if (trySend(send, ms))
            return true;
    FailStep();
    return false;
}

bool TOfflineSession::SendWithRetryTimeout(const QByteArray &payload, int ms)
{
    return sendWithRetry([&](TRfidReader &r) { r.SendPacketTimeout(payload, ms); }, ms);
}

bool TOfflineSession::SendWithRetry(const QByteArray &payload)
{
    return SendWithRetryTimeout(payload, ReaderReplyWait);
}

bool TOfflineSession::LockReader()
{
    status(QStringLiteral("Locking"));
    return sendWithRetry([](TRfidReader &r) { r.SendLock(true); }, ReaderReplyWait);
}

bool TOfflineSession::UnlockReader()
{
    status(QStringLiteral("UnLocking"));
    if (!sendWithRetry([](TRfidReader &r) { r.SendLock(false); }, ReaderReplyWait))
        return false;
    hideStatus();
    return true;
}

bool TOfflineSession::SendPage(const QByteArray &command, const QByteArray &page)
{
    for (int t = 0; t < Tries; ++t)
        if (trySend([&](TRfidReader &r) { r.SendPacket(command); }, ReaderReplyWait) &&
            trySend([&](TRfidReader &r) { r.SendData(page); }, ReaderReplyWait))
            return true;
    ReportNoResponse();
    return false;
}

bool TOfflineSession::step(const QString &text, const QByteArray &payload)
{
    status(text);
    return SendWithRetry(payload);
}

bool TOfflineSession::readCapacity(const QString &text, int &capacity, int &count)
{
    // An empty text: the status box keeps the step before.
    const QByteArray query = CapacityPayload(m_reader->ID(), TableLogs);
    const bool answered = text.isEmpty() ? SendWithRetry(query) : step(text, query);
    if (!answered)
        return false;
    if (m_reader->DecodeCapacityReply(capacity, count))
        return true;
    // The reader takes only whole capacity replies; should another ever get through, no count
    // is made up from it.
    FailStep();
    return false;
}

bool TOfflineSession::unlockAndTell(const QString &text, bool error)
{
    if (!UnlockReader())
        return false;
    if (error)
        ShowError(text);
    else
        ShowInfo(text);
    return !error;
}

QByteArray TOfflineSession::MakeClockPayload() const
{
    return BuildClockPayload(m_reader->ID());
}

bool TOfflineSession::ClearLogs(int capacity)
{
    status(QStringLiteral("Clearing"));
    return SendWithRetryTimeout(ClearLogsPayload(m_reader->ID(), static_cast<quint16>(capacity)),
                                ReaderClearLogsWait);
}

// --- operations ----------------------------------------------------------------------------

bool TOfflineSession::SetClock()
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    if (!LockReader() || !step(QStringLiteral("Set Clock"), MakeClockPayload()))
        return false;
    return unlockAndTell(QStringLiteral("Clock set."));
}

bool TOfflineSession::ClearRecord()
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    if (!AskYesNo(
            MsgKind::Information,
            QStringLiteral("The attendance logs cannot be restored after clearing. Are you sure?")))
        return false;
    int count = 0;
    int capacity = 0;
    if (!LockReader() || !readCapacity(QStringLiteral("Get Capacity"), capacity, count))
        return false;
    if (count == 0)
        return unlockAndTell(QStringLiteral("No record to clear."));
    if (!ClearLogs(capacity))
        return false;
    return unlockAndTell(QStringLiteral("All records are cleared."));
}

bool TOfflineSession::Download(bool clearAfter, TDownloadCounts *counts)
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    int count1 = 0, capacity1 = 0, count = 0, capacity = 0;
    if (!LockReader() || !readCapacity(QStringLiteral("Get Capacity"), capacity1, count1) ||
        !readCapacity(QString(), capacity, count))
        return false;
    if (count1 != count || capacity1 != capacity)
        return unlockAndTell(QStringLiteral("The data link is not reliable, please try later."),
                             true);
    if (count == 0)
        return unlockAndTell(QStringLiteral("No record to download."));

    TDownloadCounts n;
    auto progress = std::make_unique<Tpbar>(
        m_progressOwner, QStringLiteral("Downloading Logs (%1 records)").arg(count), count);
    const int port = m_reader->PortNo();
    TDataSet &logs = dsrc->logs;
    try {
        // The same second and card from any reader is the same swipe.
        TStatement seen = dsrc->att.Prepare(
            QStringLiteral("select 1 from recorder where SYSTIME = ?1 and CARDNO = ?2 limit 1"));
        for (int i = 0; i < count; ++i) {
            const QByteArray fetch =
                FetchRecordPayload(m_reader->ID(), TableLogs, static_cast<quint16>(i));
            TReaderLogRecord record;
            if (!SendWithRetry(fetch))
                return false;
            bool valid = m_reader->DecodeLogRecord(record);
            if (!valid) {
                if (!SendWithRetry(fetch))
                    return false;
                valid = m_reader->DecodeLogRecord(record);
            }
            if (!valid) {
                ++n.Invalid;
            } else {
                seen.Reset();
                seen.Bind(1, DateTimeToDbText(record.Stamp));
                seen.Bind(2, record.Card);
                if (seen.Step()) {
                    ++n.Duplicated;
                } else {
                    AppendLogRow(logs, {record.Stamp, record.Card, record.Kind, port, 0});
                    ++n.Added;
                }
            }
            if (counts)
                *counts = n;
            progress->StepIt();
        }
    } catch (const EDatabaseError &e) {
        // What was posted stays; a reader whose records did not all come in is never cleared.
        qWarning("Download from COM%d: %s", port, e.what());
        ShowDatabaseError();
        return false;
    }
    progress.reset();
    if (clearAfter && !ClearLogs(capacity))
        return false;
    return unlockAndTell(QStringLiteral("Added = %1, Duplicated = %2, Invalid = %3")
                             .arg(n.Added)
                             .arg(n.Duplicated)
                             .arg(n.Invalid));
}

std::vector<TCardRow> TOfflineSession::ReadCardRows(int port)
{
    // Only the columns a page carries: the photos stay where they are.
    TStatement rows = dsrc->src.Prepare(
        QStringLiteral("select CARDNO, NAME, COM%1 from staffs order by NAME").arg(port));
    std::vector<TCardRow> result;
    while (rows.Step())
        result.push_back({rows.ColumnInt64(2) != 0, int(rows.ColumnInt64(0)), rows.ColumnText(1)});
    return result;
}

std::vector<QByteArray> TOfflineSession::LayCardPages(const std::vector<TCardRow> &rows,
                                                      const std::function<void()> &stepped)
{
    // One page more than whole pages of entries need: the reader takes a page that is all FFh
    // as the end of the table.
    const std::size_t pageCount = (rows.size() + 1) / ReaderAccessPerPage + 1;
    std::vector<QByteArray> pages;
    pages.reserve(pageCount);
    std::size_t next = 0;
    for (std::size_t p = 0; p < pageCount; ++p) {
        QByteArray page = NewReaderPage();
        for (int k = 0; k < ReaderAccessPerPage && next < rows.size(); ++k, ++next) {
            const TCardRow &row = rows[next];
            PutAccessEntry(page, k, BuildAccessEntry(row.Allowed ? 1 : 0, row.Card, row.Name));
            if (stepped)
                stepped();
        }
        pages.push_back(std::move(page));
    }
    return pages;
}

bool TOfflineSession::UploadCards()
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    if (!LockReader())
        return false;
    std::vector<TCardRow> rows;
    try {
        rows = ReadCardRows(m_reader->PortNo());
    } catch (const EDatabaseError &e) {
        qWarning("Card upload: %s", e.what());
        ShowDatabaseError();
        return false;
    }
    auto progress = std::make_unique<Tpbar>(
        m_progressOwner, QStringLiteral("Uploading Access Table"), int(rows.size()));
    const std::vector<QByteArray> pages = LayCardPages(rows, [&] { progress->StepIt(); });
    for (std::size_t p = 0; p < pages.size(); ++p)
        if (!SendPage(WritePagePayload(m_reader->ID(), static_cast<quint16>(p)), pages[p]))
            return false;
    progress.reset();
    return unlockAndTell(QStringLiteral("Card Information uploaded successfully."));
}

bool TOfflineSession::GetMasterPin(int &pin)
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    if (!LockReader() || !step(QStringLiteral("Get Master PIN"),
                               GetSettingPayload(m_reader->ID(), SettingMasterPin)))
        return false;
    pin = m_reader->GetPktWord(4);
    return UnlockReader();
}

bool TOfflineSession::PutMasterPin(int pin)
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    if (!LockReader() ||
        !step(QStringLiteral("Put Master PIN"),
              SetWordSettingPayload(m_reader->ID(), SettingMasterPin, static_cast<quint16>(pin))))
        return false;
    return unlockAndTell(QStringLiteral("Master PIN is sent successfully."));
}

bool TOfflineSession::GetSettings(TOfflineSettings &page)
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    const quint8 id = m_reader->ID();
    if (!LockReader() || !step(QStringLiteral("Get Line 1"), GetSettingPayload(id, SettingLine1)))
        return false;
    page.Line1 = m_reader->GetPktText(4);
    if (!step(QStringLiteral("Get Line 2"), GetSettingPayload(id, SettingLine2)))
        return false;
    page.Line2 = m_reader->GetPktText(4);
    if (!step(QStringLiteral("Get Clock"), GetClockPayload(id)))
        return false;
    // A clock that makes no date shows as none rather than as a made-up one.
    page.Clock = m_reader->DecodeClockReply();
    if (!step(QStringLiteral("Get PIN"), GetSettingPayload(id, SettingPin)))
        return false;
    page.Pin = m_reader->GetPktWord(4);
    if (!step(QStringLiteral("Get Options"), GetSettingPayload(id, SettingOptions)))
        return false;
    page.Options = m_reader->GetPktWord(4) & OptionMask;
    if (!step(QStringLiteral("Get Mode"), GetSettingPayload(id, SettingMode)))
        return false;
    if (!step(QStringLiteral("Get Timetable"), GetSettingPayload(id, SettingTimetable)))
        return false;
    for (int i = 0; i < ReaderTimetableSlots; ++i) {
        // A code the page cannot show reads as "Not Used", never as no choice at all.
        page.RowMode[i] = rowChoice(m_reader->GetPktByte(4 + 3 * i));
        page.RowTime[i] = m_reader->GetPktTime(5 + 3 * i);
    }
    return unlockAndTell(QStringLiteral("Settings are loaded successfully."));
}

bool TOfflineSession::PutSettings(TOfflineSettings &page, bool setClock)
{
    if (!m_reader || m_busy)
        return false;
    Running running(*this);
    page.Line1 = PadToWidth(page.Line1, ReaderNameWidth);
    page.Line2 = PadToWidth(page.Line2, ReaderNameWidth);
    const quint8 id = m_reader->ID();
    TReaderTimetableSlot timetable[ReaderTimetableSlots];
    for (int i = 0; i < ReaderTimetableSlots; ++i)
        timetable[i] = {static_cast<quint8>(rowChoice(page.RowMode[i])), page.RowTime[i]};
    if (!LockReader())
        return false;
    if (setClock && !step(QStringLiteral("Set Clock"), MakeClockPayload()))
        return false;
    const bool sent =
        step(QStringLiteral("Set Line 1"), SetLinePayload(id, SettingLine1, page.Line1)) &&
        step(QStringLiteral("Set Line 2"), SetLinePayload(id, SettingLine2, page.Line2)) &&
        step(QStringLiteral("Set PIN"),
             SetWordSettingPayload(id, SettingPin, static_cast<quint16>(page.Pin))) &&
        step(QStringLiteral("Set Options"),
             SetSettingPayload(id, SettingOptions,
                               QByteArray(1, static_cast<char>(page.Options & OptionMask)))) &&
        step(QStringLiteral("Set Lock Time"),
             SetSettingPayload(id, SettingLockTime,
                               QByteArray(1, static_cast<char>(m_reader->LockTime())))) &&
        step(QStringLiteral("Set Timetable"), SetTimetablePayload(id, timetable)) &&
        step(QStringLiteral("Set Mode"),
             SetSettingPayload(id, SettingMode,
                               QByteArray(1, static_cast<char>(ReaderModeByte(
                                                 m_reader->Mode(), page.TimetableInUse())))));
    if (!sent)
        return false;
    return unlockAndTell(QStringLiteral("Settings are sent successfully."));
}
