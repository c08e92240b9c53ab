// The offline access table: the member and non-member lists, moving cards between them, and the
// upload to every enabled DL series reader with its retries, limits and messages.

#include "dialogsfixture.h"

#include "readerlink/accessupload.h"
#include "readerlink/upload.h"
#include "testsupport/paramname.h"
#include "testsupport/rows.h"

#include <QGroupBox>
#include <QTimer>

#include <chrono>
#include <string>
#include <vector>

namespace {

using Texts_t = std::vector<std::string>;

const QString Confirm = QStringLiteral("This action will overwrite all the authurization tables "
                                       "of the DL series' readers. Are you sure?");
const QString Success = QStringLiteral("Access table uploaded successfully.");

class UploadTest : public ReaderDialogTest
{
protected:
    // A reader of the model on the port, enabled in the table; with a simulator when attached.
    ReaderSim *Reader(int port, int model, bool attach = true, bool enable = true)
    {
        Exec(QStringLiteral("UPDATE reader SET ENABLE=%1, MODEL=%2, MODE=1 WHERE PORTNO=%3")
                 .arg(enable ? 1 : 0)
                 .arg(model)
                 .arg(port));
        return attach ? &AttachSim(port) : nullptr;
    }
    static Texts_t Texts(const ReaderSim &sim)
    {
        Texts_t out = SimTexts(sim);
        // An add carries the card in binary: its command letter names it well enough.
        for (std::string &text : out)
            if (text.rfind("~A", 0) == 0)
                text = "~A";
        return out;
    }
    static QList<int> Cards(const TDataSet &list)
    {
        QList<int> cards;
        for (int row = 0; row < list.RecordCount(); ++row)
            cards << list.FieldAt(row, QStringLiteral("CARDNO")).toInt();
        return cards;
    }
};

TEST_F(UploadTest, ListsSplitByTheOfflineFlagAndCardsMoveBetweenThem)
{
    AddStaff({.card = 101, .name = QStringLiteral("Ann"), .offline = true});
    AddStaff({.card = 102, .name = QStringLiteral("Bob"), .offline = false});
    AddStaff({.card = 103, .name = QStringLiteral("Cid"), .offline = true});
    StartCore();
    TOfflineAcc dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Offline Access Table"));
    EXPECT_EQ(Cards(dialog.Members()), (QList<int>{101, 103}));
    EXPECT_EQ(Cards(dialog.NonMembers()), (QList<int>{102}));
    EXPECT_EQ(Child<QGroupBox>(dialog, "gbmember")->title(),
              QStringLiteral("Allowed Member (2 records)"));
    EXPECT_EQ(Child<QGroupBox>(dialog, "gbnonmember")->title(),
              QStringLiteral("Denied Member (1 records)"));
    // The list shows the member's work group.
    EXPECT_EQ(dialog.Members().FieldAt(0, QStringLiteral("DESCX")).toString(),
              QStringLiteral("DEFAULT"));

    dialog.baddClick(); // Bob, the only non-member
    EXPECT_EQ(Cards(dialog.Members()), (QList<int>{101, 102, 103}));
    EXPECT_TRUE(dialog.NonMembers().IsEmpty());
    EXPECT_EQ(Child<QGroupBox>(dialog, "gbnonmember")->title(),
              QStringLiteral("Denied Member (0 records)"));
    dialog.baddClick(); // nothing left to add
    EXPECT_EQ(Cards(dialog.Members()), (QList<int>{101, 102, 103}));

    dialog.dbgmemberTitleClick(1); // by NAME
    dialog.bremoveClick();         // the first, Ann
    EXPECT_EQ(Cards(dialog.NonMembers()), (QList<int>{101}));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT OFFLINE FROM staffs WHERE CARDNO=101")).toInt(), 0);
    EXPECT_EQ(messages.Count(), 0);
}

TEST_F(UploadTest, UploadsTheMembersToEveryEnabledDlReaderOnly)
{
    AddStaff({.card = 101, .name = QStringLiteral("Ann"), .offline = true});
    AddStaff({.card = 102, .name = QStringLiteral("Bob"), .offline = false});
    AddStaff({.card = 103, .name = QStringLiteral("Cid"), .offline = true});
    ReaderSim &two = *Reader(2, 1);
    ReaderSim &three = *Reader(3, 0); // MV series: skipped
    ReaderSim &five = *Reader(5, 1);
    ReaderSim &six = *Reader(6, 1, true, false); // disabled: skipped
    StartCore();
    TOfflineAcc dialog;
    dialog.Button1Click();
    EXPECT_EQ(messages.Texts(), (QStringList{Confirm, Success}));
    const Texts_t expect = {"~@", "~CC", "~A", "~A"};
    EXPECT_EQ(Texts(two), expect);
    EXPECT_EQ(Texts(five), expect);
    // Only the members: a card left off the list never gets offline entry.
    EXPECT_EQ(two.Cards(), (std::vector<int>{101, 103}));
    EXPECT_EQ(five.Cards(), (std::vector<int>{101, 103}));
    EXPECT_TRUE(Texts(three).empty());
    EXPECT_TRUE(Texts(six).empty());
}

struct RetryCase
{
    const char *name;
    std::function<void(ReaderSim &)> behave;
    Texts_t expectTexts;
    const char *expectMessage; // after the confirmation
};

void PrintTo(const RetryCase &c, std::ostream *os)
{
    *os << c.name;
}

class UploadRetries : public UploadTest, public ::testing::WithParamInterface<RetryCase>
{
};

TEST_P(UploadRetries, TryEachCommandFiveTimesThenSayWhatFailed)
{
    const RetryCase &c = GetParam();
    AddStaff({.card = 101, .name = QStringLiteral("Ann"), .offline = true});
    ReaderSim &two = *Reader(2, 1);
    ReaderSim &four = *Reader(4, 1);
    c.behave(two);
    StartCore();
    TOfflineAcc dialog;
    dialog.Button1Click();
    EXPECT_EQ(messages.Texts(), (QStringList{Confirm, QString::fromLatin1(c.expectMessage)}));
    EXPECT_EQ(Texts(two), c.expectTexts);
    // A failure on port 2 ends the upload before port 4.
    const bool done = QString::fromLatin1(c.expectMessage) == Success;
    EXPECT_EQ(Texts(four).empty(), !done);
    // A refused add stores nothing; the try that is taken stores the card once.
    EXPECT_EQ(two.Cards(), done ? std::vector<int>{101} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(
    Upload, UploadRetries,
    ::testing::Values(RetryCase{"ModelAnsweredOnTheSecondQuery",
                                [](ReaderSim &s) { s.LeaveModelQueriesUnanswered(1); },
                                {"~@", "~@", "~CC", "~A"},
                                "Access table uploaded successfully."},
                      RetryCase{"FourMissedAnswersStillSucceed",
                                [](ReaderSim &s) { s.LeaveModelQueriesUnanswered(4); },
                                {"~@", "~@", "~@", "~@", "~@", "~CC", "~A"},
                                "Access table uploaded successfully."},
                      RetryCase{"FiveUnansweredModelQueriesAreNotDl",
                                [](ReaderSim &s) { s.LeaveModelQueriesUnanswered(5); },
                                {"~@", "~@", "~@", "~@", "~@"},
                                "It is not an DL series reader on COM2."},
                      RetryCase{"AddRefusedFourTimesIsTakenOnTheFifth",
                                [](ReaderSim &s) { s.RefuseCardAdds(4); },
                                {"~@", "~CC", "~A", "~A", "~A", "~A", "~A"},
                                "Access table uploaded successfully."},
                      RetryCase{"AddRefusedFiveTimesFailsTheUpload",
                                [](ReaderSim &s) { s.RefuseCardAdds(5); },
                                {"~@", "~CC", "~A", "~A", "~A", "~A", "~A"},
                                "Cannot upload access table to COM2."},
                      RetryCase{"SilentReaderIsNotDl",
                                [](ReaderSim &s) { s.SetSilent(true); },
                                {"~@", "~@", "~@", "~@", "~@"},
                                "It is not an DL series reader on COM2."},
                      RetryCase{"OtherModelIsNotDl",
                                [](ReaderSim &s) { s.SetModel(ReaderSim::Model::RB58); },
                                {"~@"},
                                "It is not an DL series reader on COM2."},
                      RetryCase{"Rb59IsNotDl",
                                [](ReaderSim &s) { s.SetModel(ReaderSim::Model::RB59); },
                                {"~@"},
                                "It is not an DL series reader on COM2."},
                      RetryCase{"RefusedClearFailsTheUpload",
                                [](ReaderSim &s) { s.SetTextAnswersGood(false); },
                                {"~@", "~CC", "~CC", "~CC", "~CC", "~CC"},
                                "Cannot upload access table to COM2."}),
    ParamName());

TEST_F(UploadTest, UnansweredQueryIsAwaitedAWholeSecondARefusedAddIsNot)
{
    AddStaff({.card = 101, .name = QStringLiteral("Ann"), .offline = true});
    ReaderSim &two = *Reader(2, 1);
    two.LeaveModelQueriesUnanswered(1);
    two.RefuseCardAdds(1);
    StartCore();
    TOfflineAcc dialog;
    dialog.Button1Click();
    EXPECT_EQ(messages.Texts(), (QStringList{Confirm, Success}));
    std::vector<ReaderSim::Frame> frames;
    for (const ReaderSim::Frame &f : two.Received())
        if (f.kind == ReaderSim::Frame::Text)
            frames.push_back(f);
    ASSERT_EQ(Texts(two), (Texts_t{"~@", "~@", "~CC", "~A", "~A"}));
    using std::chrono::milliseconds;
    const auto gap = [&](std::size_t i) {
        return std::chrono::duration_cast<milliseconds>(frames[i + 1].at - frames[i].at);
    };
    // The silent try waits out its second before the query goes again.
    EXPECT_GE(gap(0), milliseconds(950));
    // A "B" ends its try at once: the add goes again well within the second.
    EXPECT_LT(gap(3), milliseconds(900));
}

TEST_F(UploadTest, AnAnswerNamingNoModelIsNotTakenForTheModelBefore)
{
    AddStaff({.card = 101, .name = QStringLiteral("Ann"), .offline = true});
    ReaderSim &two = *Reader(2, 1);
    StartCore();
    TOfflineAcc dialog;
    dialog.Button1Click(); // a DL317 answers
    ASSERT_EQ(messages.Texts(), (QStringList{Confirm, Success}));
    messages.Clear();
    two.ClearReceived();

    // Now every query is answered by a bare "G": good, but no model in it.
    two.SetSilent(true);
    std::size_t answered = 0;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        const std::size_t queries = SimTexts(two).size();
        for (; answered < queries; ++answered)
            two.SendAnswer('G');
    });
    answerer.start(20);
    dialog.Button1Click();
    EXPECT_EQ(messages.Texts(),
              (QStringList{Confirm, QStringLiteral("It is not an DL series reader on COM2.")}));
    EXPECT_EQ(Texts(two), Texts_t{"~@"});
}

TEST_F(UploadTest, MemberLimitAndConfirmationComeBeforeAnyTraffic)
{
    for (int i = 0; i < 42; ++i)
        Exec(QStringLiteral("INSERT INTO staffs (CARDNO, NAME, OFFLINE) VALUES (%1, 'M%1', 1)")
                 .arg(1000 + i));
    ReaderSim &two = *Reader(2, 1);
    StartCore();
    {
        TOfflineAcc dialog;
        messages.QueueAnswer(MsgButton::Cancel);
        dialog.Button1Click(); // 42 are allowed: the confirmation, here refused
        EXPECT_EQ(messages.Texts(), QStringList{Confirm});
    }
    Exec(QStringLiteral("INSERT INTO staffs (CARDNO, NAME, OFFLINE) VALUES (2000, 'M43', 1)"));
    messages.Clear();
    {
        TOfflineAcc dialog;
        dialog.Button1Click();
        EXPECT_EQ(messages.Texts(),
                  QStringList{QStringLiteral("DL317 is limited to 42 offline records. Please "
                                             "remove some members and retry.")});
        EXPECT_EQ(messages.Last().kind, MsgKind::Error);
    }
    SpinFor(100);
    EXPECT_TRUE(Texts(two).empty());
}

TEST_F(UploadTest, WithoutAnEnabledDlReaderItReportsSuccessWithoutTraffic)
{
    AddStaff({.card = 101, .name = QStringLiteral("Ann"), .offline = true});
    ReaderSim &one = *Reader(1, 0);
    Reader(2, 1, false); // enabled DL series row whose port does not open
    StartCore();
    TOfflineAcc dialog;
    dialog.Button1Click();
    EXPECT_EQ(messages.Texts(), (QStringList{Confirm, Success}));
    EXPECT_EQ(messages.Last().kind, MsgKind::Information);
    SpinFor(100);
    EXPECT_TRUE(Texts(one).empty());
}

TEST_F(UploadTest, ClosedPortIsAFailedTryNotAnOldAnswer)
{
    ReaderSim &two = *Reader(2, 1);
    StartCore();
    TAccessUpload upload;
    ASSERT_TRUE(upload.TryCommand(*Readers[2], TAccessUpload::QueryModel));
    // The port goes; the flags still hold the good answer of the query before.
    Readers[2]->SetConnected(false);
    EXPECT_FALSE(upload.TryCommand(*Readers[2], TAccessUpload::ClearCards));
    EXPECT_FALSE(upload.ClearCardsWithRetry(*Readers[2]));
    EXPECT_EQ(Texts(two), Texts_t{"~@"});
}

} // namespace
