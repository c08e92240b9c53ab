#include "desk/emailqueue.h"

#include "desk/deskcore.h"
#include "store/dataset.h"
#include "store/db/sqlitedb.h"
#include "store/dbschema.h"
#include "store/email.h"
#include "store/settings.h"

#include <QCoreApplication>
#include <QTimer>

#include <climits>

namespace {

const QString &SeqField = Schema::Emails::Seq;

void cancelQuietly(TDataSet &ds) noexcept
{
    try {
        if (ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert)
            ds.Cancel();
    } catch (...) {
    }
}

} // namespace

TEmailQueue::TEmailQueue(TDataSet &emails, StatusFn status, QObject *parent)
    : QObject(parent), m_emails(emails), m_status(std::move(status)), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &TEmailQueue::emailtimerTimer);
}

TEmailQueue::~TEmailQueue() = default;

void TEmailQueue::ArmEmailTimer()
{
    if (m_stopped)
        return;
    const int minutes = ReadRegInteger(Setting::EmailIntervalsQueue);
    // A stored value too large for the timer is held at the longest interval it can keep.
    const int ms = minutes <= 0                ? 1000
                   : minutes > INT_MAX / 60000 ? INT_MAX / 60000 * 60000
                                               : minutes * 60000;
    m_timer->setInterval(ms);
    if (ReadRegBool(Setting::EmailEnabled))
        m_timer->start();
    else
        m_timer->stop();
}

void TEmailQueue::ApplySettings()
{
    ArmEmailTimer();
    if (!m_sending && !ReadRegBool(Setting::EmailEnabled))
        status(QString());
}

void TEmailQueue::Stop()
{
    m_stopped = true;
    m_timer->stop();
    m_sendStop.Stop();
}

void TEmailQueue::status(const QString &text)
{
    if (m_status)
        m_status(text);
}

void TEmailQueue::emailtimerTimer()
{
    // A tick that comes while a round waits on the server (the settings dialog re-armed the
    // timer meanwhile) must not start a second round over the same rows.
    if (m_sending)
        return;
    m_timer->stop();
    m_sending = true;
    try {
        sendRound();
    } catch (...) {
        // A database failure ends the round silently; the rows stay for the next one.
        cancelQuietly(m_emails);
    }
    m_sending = false;
    ArmEmailTimer();
    if (m_roundEnd)
        m_roundEnd();
}

void TEmailQueue::sendRound()
{
    if (!m_emails.Active())
        return;
    while (m_emails.Active() && !m_emails.IsEmpty() && !m_stopped) {
        QCoreApplication::processEvents();
        if (!m_emails.Active() || m_emails.IsEmpty())
            break;
        m_emails.First();
        const qint64 seq = m_emails.FieldByName(SeqField).AsLargeInt();
        if (seq == m_sentSeq) {
            // Mailed already; only its delete was kept out by another program's lock.
            deleteSent();
            continue;
        }
        const QString title = m_emails.FieldByName(Schema::Emails::Title).AsString();
        const QString msg = m_emails.FieldByName(Schema::Emails::Msg).AsString();
        const QString attach =
            CheckedSnapshotFile(m_emails.FieldByName(Schema::Emails::Attach).AsString());
        status(QStringLiteral("Email sending: ") + title);

        const bool sent = SendEmail(
            this, ReadRegString(Setting::EmailSmtpServer).toStdString(), m_port,
            attach.toStdString(), msg.toStdString(), title.toStdString(), std::string(),
            ReadRegString(Setting::EmailRecipant).toStdString(),
            ReadRegString(Setting::EmailSender).toStdString(), &m_sendStop);
        if (!sent && m_stopped)
            return; // aborted for shut-down; the row waits for the next start
        if (!sent) {
            status(QStringLiteral("Email sent error."));
            return;
        }
        m_sentSeq = seq;
        deleteSent();
        status(QString());
    }
}

void TEmailQueue::deleteSent()
{
    // Swipes during the send appended rows and left the cursor on the newest one: delete the
    // row that was sent, found again by its number, never whatever is current now. A lock
    // held by another program ends the round at once rather than holding the desk; the row
    // is remembered as sent, so it is not mailed twice.
    TBusyTimeout wait(m_emails.Database(), DeleteBusyTimeoutMs);
    if (m_emails.Active() && m_emails.Locate(SeqField, m_sentSeq))
        m_emails.Delete();
    m_sentSeq = -1;
}
