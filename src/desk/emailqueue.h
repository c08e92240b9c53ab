#pragma once
// TEmailQueue: the main window's e-mail timer and its sending rounds. Each round mails the rows
// of the queue dataset (`emails`, ordered by SEQ) oldest first and deletes each row once it is
// sent; the first failure leaves that row and the rest for the next round. The state of the
// round goes to the status bar through a callback. Main thread only.

#include "store/email.h"

#include <QObject>
#include <QString>

#include <functional>

class QTimer;
class TDataSet;

class TEmailQueue : public QObject
{
    Q_OBJECT

public:
    // Shows the sending state (status-bar panel 1) and repaints it at once.
    using StatusFn = std::function<void(const QString &text)>;

    static constexpr int SmtpPort = 25;
    // How long deleting a sent row waits for another program's lock on the system database.
    static constexpr int DeleteBusyTimeoutMs = 25;

    // The timer starts disabled; ArmEmailTimer sets it from the settings.
    explicit TEmailQueue(TDataSet &emails, StatusFn status = {}, QObject *parent = nullptr);
    ~TEmailQueue() override;
    TEmailQueue(const TEmailQueue &) = delete;
    TEmailQueue &operator=(const TEmailQueue &) = delete;

    // Interval EmailIntervals minutes (one second when 0), enabled while EmailEnabled is set.
    void ArmEmailTimer();
    // After the e-mail settings were confirmed: re-arms the timer, and with sending switched
    // off clears the status the last round left (its error means nothing any more).
    void ApplySettings();
    // One sending round; also what the timer runs. Never throws.
    void emailtimerTimer();
    // Before shut-down: no round starts any more, and a send under way is aborted at once.
    void Stop();
    // Runs at the end of every round, once Sending() is false again.
    void SetRoundEndHandler(std::function<void()> handler) { m_roundEnd = std::move(handler); }

    // Mail always goes to port 25; tests point the queue at a server of their own.
    void SetSmtpPort(int port) { m_port = port; }

    QTimer *emailtimer() const { return m_timer; }
    // A round is waiting on the mail server.
    bool Sending() const { return m_sending; }

private:
    void status(const QString &text);
    void sendRound();
    void deleteSent();

    TDataSet &m_emails;
    StatusFn m_status;
    std::function<void()> m_roundEnd;
    TEmailStop m_sendStop;
    QTimer *m_timer = nullptr;
    int m_port = SmtpPort;
    // SEQ of the row mailed last whose delete has not happened yet; -1 none.
    qint64 m_sentSeq = -1;
    bool m_sending = false;
    bool m_stopped = false;
};
