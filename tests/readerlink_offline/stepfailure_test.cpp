// Every operation of the manager over a reader that answers the lock and then nothing, or whose
// port goes at the first step: one message, the tries of that step, no unlock, and the session
// free again.

#include "offlinefixture.h"
#include "testsupport/paramname.h"

namespace {
struct StepCase
{
    const char *name;
    std::function<bool(TOfflineSession &)> run;
    QString firstStep; // the step's frame, sent three times
    QStringList asked; // message boxes before the failure
};

void PrintTo(const StepCase &c, std::ostream *os)
{
    *os << c.name;
}

// The clock is pinned to this time in every case.
const QString ClockFrame = QStringLiteral("00 02 09 45 17 01 04 03 29");
const QString ClearQuestion =
    QStringLiteral("The attendance logs cannot be restored after clearing. Are you sure?");

class StepFailureTest : public OfflineTest, public ::testing::WithParamInterface<StepCase>
{
protected:
    void Run()
    {
        const StepCase &c = GetParam();
        PinClock(QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9)));
        sim.AddLog(0x00, 1, ReaderSim::PackTime({2026, 3, 4, 5, 6, 7}));
        for (qsizetype i = 0; i < c.asked.size(); ++i)
            messages.QueueAnswer(MsgButton::Yes);
        EXPECT_FALSE(c.run(session));
        EXPECT_EQ(messages.Texts(), QStringList(c.asked) << QStringLiteral(
                                        "No response from the reader."));
        EXPECT_EQ(messages.Last().kind, MsgKind::Error);
        EXPECT_FALSE(session.StatusShown());
        EXPECT_FALSE(session.Busy());
        EXPECT_EQ(sim.Logs().size(), 1u);
    }
};

class SilentAfterLock : public StepFailureTest
{
};

TEST_P(SilentAfterLock, TriesTheFirstStepThriceAndSendsNoUnlock)
{
    sim.SetSilentAfter(1);
    Run();
    const QString step = GetParam().firstStep;
    EXPECT_EQ(Frames(), Strs({LockFrame, step, step, step}));
}

class PortGoneAfterLock : public StepFailureTest
{
};

TEST_P(PortGoneAfterLock, SendsNothingMoreAndTakesNoOldReply)
{
    // The lock's reply came; the port goes as the first step begins, so the reply flags still
    // tell of the lock.
    session.OnStatus = [this](bool shown, const QString &text) {
        if (shown && text != QStringLiteral("Locking"))
            reader.SetConnected(false);
    };
    Run();
    EXPECT_EQ(Frames(), Strs({LockFrame}));
}

int pin = 0;
TOfflineSettings page;

const StepCase WithSteps[] = {
    {"SetClock", [](TOfflineSession &s) { return s.SetClock(); }, ClockFrame, {}},
    {"ClearRecord", [](TOfflineSession &s) { return s.ClearRecord(); }, CapacityFrame,
     {ClearQuestion}},
    {"Download", [](TOfflineSession &s) { return s.Download(true); }, CapacityFrame, {}},
    {"GetMasterPin", [](TOfflineSession &s) { return s.GetMasterPin(pin); },
     QStringLiteral("00 07 09"), {}},
    {"PutMasterPin", [](TOfflineSession &s) { return s.PutMasterPin(7); },
     QStringLiteral("00 08 09 07 00"), {}},
    {"GetSettings", [](TOfflineSession &s) { return s.GetSettings(page); },
     QStringLiteral("00 07 00"), {}},
    {"PutSettings", [](TOfflineSession &s) { return s.PutSettings(page, false); },
     QStringLiteral("00 08 00 5A 55 56 49 20 49 4E 54 4C 20 43 4F 20 4C 54 44"), {}},
};
// Its pages go out under the lock's status, with no step name between them.
const StepCase CardUpload{"UploadCards", [](TOfflineSession &s) { return s.UploadCards(); },
                          QStringLiteral("00 09 01 00 00"), {}};

std::vector<StepCase> Every()
{
    std::vector<StepCase> all(std::begin(WithSteps), std::end(WithSteps));
    all.push_back(CardUpload);
    return all;
}

INSTANTIATE_TEST_SUITE_P(Operations, SilentAfterLock, ::testing::ValuesIn(Every()), ParamName());
INSTANTIATE_TEST_SUITE_P(Operations, PortGoneAfterLock, ::testing::ValuesIn(WithSteps),
                         ParamName());
} // namespace
