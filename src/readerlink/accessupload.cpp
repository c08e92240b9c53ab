#include "readerlink/accessupload.h"

#include "readerlink/reader.h"
#include "readerlink/readers.h"
#include "store/eventwait.h"
#include "store/messages.h"
#include "store/pgbar.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <exception>

TAccessUpload::TAccessUpload(QWidget *progressOwner) : m_owner(progressOwner) {}

bool TAccessUpload::WaitTildeReply(TRfidReader &reader)
{
    // Each try has its own deadline; the answer frame sets the flags while the loop turns.
    WaitOnEvents([&reader] { return reader.Responsed(); }, QDeadlineTimer(ReplyWaitMs));
    return reader.Responsed() && reader.ResultOK();
}

bool TAccessUpload::TryCommand(TRfidReader &reader, int command, int card)
{
    // A closed port sends nothing and no answer can come: the flags would still hold the
    // previous command's answer.
    if (!reader.Connected())
        return false;
    reader.SetResponsed(false);
    reader.SetResultOK(false);
    try {
        switch (command) {
        case QueryModel:
            // A "G" answers without naming a model: the one named before must not stand in.
            reader.SetModelString(QString());
            reader.SendQueryModel();
            break;
        case ClearCards:
            reader.SendClearCards();
            break;
        default:
            reader.SendAddCard(card);
            break;
        }
    } catch (const std::exception &e) {
        qWarning("Access table upload on port %d: %s", reader.PortNo(), e.what());
        return false;
    }
    return WaitTildeReply(reader);
}

bool TAccessUpload::retry(TRfidReader &reader, int command, int card)
{
    for (int i = 0; i < Tries; ++i)
        if (TryCommand(reader, command, card))
            return true;
    return false;
}

bool TAccessUpload::CheckReaderModel(TRfidReader &reader, const QString &portName)
{
    Tpbar progress(m_owner, QStringLiteral("Check reader on ") + portName, Tries);
    bool ok = false;
    for (int i = 0; i < Tries && !ok; ++i) {
        progress.StepIt();
        ok = TryCommand(reader, QueryModel);
    }
    return ok;
}

bool TAccessUpload::ClearCardsWithRetry(TRfidReader &reader)
{
    return retry(reader, ClearCards, 0);
}

bool TAccessUpload::AddCardWithRetry(TRfidReader &reader, int card)
{
    return retry(reader, AddCard, card);
}

bool TAccessUpload::UploadMembers(TRfidReader &reader, const QList<int> &cards,
                                  const QString &portName)
{
    if (!ClearCardsWithRetry(reader))
        return false;
    Tpbar progress(m_owner, QStringLiteral("Uploading access table to ") + portName,
                   int(cards.size()));
    for (const int card : cards) {
        QCoreApplication::processEvents();
        if (!AddCardWithRetry(reader, card))
            return false;
        progress.StepIt();
    }
    return true;
}

bool TAccessUpload::Upload(const QList<int> &cards)
{
    if (cards.size() > MemberLimit) {
        ShowError(QStringLiteral(
            "DL317 is limited to 42 offline records. Please remove some members and retry."));
        return false;
    }
    if (!AskConfirm(QStringLiteral("This action will overwrite all the authurization tables of "
                                   "the DL series' readers. Are you sure?")))
        return false;
    for (int port = 1; port <= ReaderPortCount; ++port) {
        TRfidReader *reader = ReaderOn(port);
        if (!reader || reader->Model() == 0 || !reader->Enable())
            continue;
        const QString portName = QStringLiteral("COM") + QString::number(port);
        if (!CheckReaderModel(*reader, portName) ||
            reader->ModelString() != QStringLiteral("DL317")) {
            ShowError(QStringLiteral("It is not an DL series reader on ") + portName +
                      QStringLiteral("."));
            return false;
        }
        if (!UploadMembers(*reader, cards, portName)) {
            ShowError(QStringLiteral("Cannot upload access table to ") + portName +
                      QStringLiteral("."));
            return false;
        }
    }
    ShowInfo(QStringLiteral("Access table uploaded successfully."));
    return true;
}
