#pragma once
// TAccessUpload: uploads the offline access list (the cards a DL series reader lets in while
// the desk is away) to every enabled DL series reader with the tilde text commands: model
// query, clear, then one add per card, each tried up to five times with a one-second wait for
// its answer. No widgets besides the progress window; every outcome is told in one message
// box. Main thread only: the waits turn the event loop, which is how the answers arrive.

#include <QList>
#include <QString>

class QWidget;
class TRfidReader;

class TAccessUpload
{
public:
    static constexpr int MemberLimit = 42; // what a DL317 keeps
    static constexpr int Tries = 5;
    static constexpr int ReplyWaitMs = 1000;

    // The progress windows are shown over the owner (may be null).
    explicit TAccessUpload(QWidget *progressOwner = nullptr);

    // The whole upload with its limit check, the confirmation and the closing message; true
    // when every qualifying reader took the list (also when none qualified).
    bool Upload(const QList<int> &cards);

    // One command on the reader: sent, then its answer awaited for at most ReplyWaitMs. A
    // command that could not go out (port closed, line failure) is a failed try.
    bool TryCommand(TRfidReader &reader, int command, int card = 0);
    enum Command
    {
        QueryModel,
        ClearCards,
        AddCard
    };
    bool WaitTildeReply(TRfidReader &reader);
    bool CheckReaderModel(TRfidReader &reader, const QString &portName);
    bool ClearCardsWithRetry(TRfidReader &reader);
    bool AddCardWithRetry(TRfidReader &reader, int card);
    bool UploadMembers(TRfidReader &reader, const QList<int> &cards, const QString &portName);

private:
    bool retry(TRfidReader &reader, int command, int card);

    QWidget *m_owner;
};
