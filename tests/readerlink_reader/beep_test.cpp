// The beep a reader gives for a card when it beeps by itself, through the beep hook.

#include "readerfixture.h"

#include "store/beep.h"

#include <QStringList>

namespace {

QStringList g_heard; // what the reader reported and beeped, in order

void recordBeep()
{
    g_heard << QStringLiteral("beep");
}

class ReaderBeepTest : public ReaderLinkTest
{
protected:
    void SetUp() override
    {
        ReaderLinkTest::SetUp();
        g_heard.clear();
        m_previous = SetBeepHook(&recordBeep);
        reader.OnCardCode = [](bool offline, int, int code, const QDateTime &, qint8) {
            g_heard << QStringLiteral("%1 %2")
                           .arg(QLatin1String(offline ? "stored" : "card"))
                           .arg(code);
        };
        reader.OnBypass = [](int, int) { g_heard << QStringLiteral("exit"); };
    }

    void TearDown() override
    {
        SetBeepHook(m_previous);
        ReaderLinkTest::TearDown();
    }

    TBeepHook m_previous = nullptr;
};

TEST_F(ReaderBeepTest, ACardBeepsAfterItIsReportedOnlyWhenTheReaderBeepsByItself)
{
    enum class Send
    {
        Live,
        Stored,
        ExitButton
    };
    const struct Row
    {
        const char *name;
        Send send;
        bool autoBeep;
        QStringList heard;
    } rows[] = {
        {"live card", Send::Live, true, {QStringLiteral("card 77"), QStringLiteral("beep")}},
        {"stored card", Send::Stored, true, {QStringLiteral("stored 77"), QStringLiteral("beep")}},
        {"live card, no beep", Send::Live, false, {QStringLiteral("card 77")}},
        {"stored card, no beep", Send::Stored, false, {QStringLiteral("stored 77")}},
        {"exit button", Send::ExitButton, true, {QStringLiteral("exit")}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        g_heard.clear();
        reader.SetAutoBeep(r.autoBeep);
        switch (r.send) {
        case Send::Live:
            sim.SendCard(77);
            break;
        case Send::Stored:
            sim.SendStoredCard(77, true, 1, {2026, 3, 4, 5, 6, 7});
            break;
        case Send::ExitButton:
            sim.SendExitButton();
            break;
        }
        ASSERT_TRUE(SpinUntil([&] { return !g_heard.isEmpty(); }, 2000));
        SpinFor(100); // a beep that should not come has had its chance
        EXPECT_EQ(g_heard, r.heard);
    }
}

} // namespace
