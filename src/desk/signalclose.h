#pragma once
// SIGTERM, SIGHUP and SIGINT as a request to close the desk the way "Exit" does: the handler
// only writes the signal's number into a socket pair, and the main thread's event loop reads
// it and emits Requested, so the orderly close (waiting rows written, long work finished,
// temporaries removed, the lock freed) runs there. One at a time in the process; created and
// used on the main thread.

#include <QObject>

class QSocketNotifier;

class TSignalClose : public QObject
{
    Q_OBJECT
public:
    explicit TSignalClose(QObject *parent = nullptr);
    ~TSignalClose() override;
    TSignalClose(const TSignalClose &) = delete;
    TSignalClose &operator=(const TSignalClose &) = delete;

    // False when the socket pair could not be made: the signals then end the process as before.
    bool Installed() const { return m_notifier != nullptr; }

signals:
    void Requested(int signalNumber);

private:
    void readSignal();

    int m_fds[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};
