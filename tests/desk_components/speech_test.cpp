// The swipe greeting, the speech worker (order, never blocking the caller, start failure,
// shutdown) and the espeak-ng engine on a machine that may have no audio device.

#include "desk/speechengine.h"
#include "testsupport/fakespeechengine.h"
#include "testsupport/paramname.h"
#include "testsupport/spin.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct GreetingCase
{
    const char *name;
    int hour;
    int minute;
    const char *greeting;
};

class SwipeGreetingByHour : public ::testing::TestWithParam<GreetingCase>
{
};

TEST_P(SwipeGreetingByHour, GreetsThenNamesTheHolder)
{
    const GreetingCase &c = GetParam();
    const QDateTime stamp(QDate(2026, 3, 14), QTime(c.hour, c.minute, 59));
    EXPECT_EQ(SwipeGreeting(stamp, true, QStringLiteral("Ann Lee")),
              QStringList({QString::fromLatin1(c.greeting), QStringLiteral("Ann Lee")}));
}

INSTANTIATE_TEST_SUITE_P(
    HourBounds, SwipeGreetingByHour,
    ::testing::Values(GreetingCase{"Midnight", 0, 0, "Good Morning"},
                      GreetingCase{"LastMorningMinute", 11, 59, "Good Morning"},
                      GreetingCase{"Noon", 12, 0, "Good Afternoon"},
                      GreetingCase{"LastAfternoonHour", 18, 59, "Good Afternoon"},
                      GreetingCase{"EveningStarts", 19, 0, "Good Evening"},
                      GreetingCase{"LastEveningHour", 20, 59, "Good Evening"},
                      GreetingCase{"NightStarts", 21, 0, "Good Night"},
                      GreetingCase{"LastMinuteOfDay", 23, 59, "Good Night"}),
    ParamName());

TEST(SwipeGreeting, UnknownCardIsOnlyNoRegistration)
{
    const QDateTime evening(QDate(2026, 3, 14), QTime(19, 30));
    EXPECT_EQ(SwipeGreeting(evening, false, QStringLiteral("123456")),
              QStringList{QStringLiteral("no registration")});
}

class SpeechWorkerTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeSpeechLog> log = std::make_shared<FakeSpeechLog>();
    std::unique_ptr<ISpeechEngine> engine() { return std::make_unique<FakeSpeechEngine>(log); }
};

TEST_F(SpeechWorkerTest, SpeaksEveryPhraseInQueuedOrderOnItsOwnThread)
{
    QStringList expected;
    {
        SpeechWorker worker(engine());
        for (int swipe = 0; swipe < 10; ++swipe) {
            const QStringList phrases =
                SwipeGreeting(QDateTime(QDate(2026, 1, 5), QTime(8 + swipe, 0)), true,
                              QStringLiteral("Holder %1").arg(swipe));
            worker.Say(phrases);
            expected += phrases;
        }
        ASSERT_TRUE(worker.WaitIdle(5000));
        EXPECT_EQ(log->Spoken(), expected);
        EXPECT_EQ(log->starts, 1);
        EXPECT_NE(log->engineThread, std::this_thread::get_id());
        EXPECT_EQ(log->stops, 0);
    }
    EXPECT_EQ(log->stops, 1) << "the engine is stopped when the worker goes";
}

TEST_F(SpeechWorkerTest, CallerReturnsAtOnceWhileAPhraseIsBeingSpoken)
{
    log->hold = true;
    SpeechWorker worker(engine());
    worker.Say(QStringLiteral("first"));
    ASSERT_TRUE(log->WaitInSpeak(5000));

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5; ++i)
        worker.Say(QStringList{QStringLiteral("Good Morning"), QStringLiteral("P%1").arg(i)});
    EXPECT_LT(timer.elapsed(), 100) << "queuing must not wait for the phrase being spoken";
    EXPECT_FALSE(worker.WaitIdle(50));
    EXPECT_TRUE(log->Spoken().isEmpty());

    log->Release();
    ASSERT_TRUE(worker.WaitIdle(5000));
    const QStringList spoken = log->Spoken();
    ASSERT_EQ(spoken.size(), 11);
    EXPECT_EQ(spoken.first(), QStringLiteral("first"));
    EXPECT_EQ(spoken.last(), QStringLiteral("P4"));
}

TEST_F(SpeechWorkerTest, EngineThatCannotStartGivesOneNoticeAndTheDeskGoesOn)
{
    log->failStart = true;
    log->failReason = QStringLiteral("no voice data");
    SpeechWorker worker(engine());
    QStringList notices;
    QObject::connect(&worker, &SpeechWorker::SpeechUnavailable,
                     [&notices](const QString &text) { notices.append(text); });

    worker.Say(
        SwipeGreeting(QDateTime(QDate(2026, 1, 5), QTime(9, 0)), true, QStringLiteral("Ann")));
    ASSERT_TRUE(SpinUntil([&] { return !notices.isEmpty(); }, 5000));
    EXPECT_TRUE(worker.Unavailable());

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i)
        worker.Say(QStringLiteral("no registration"));
    EXPECT_LT(timer.elapsed(), 100);
    EXPECT_TRUE(worker.WaitIdle(2000));
    SpinFor(100); // any further notice would arrive now

    EXPECT_EQ(notices, QStringList{SpeechUnavailableText(QStringLiteral("no voice data"))});
    EXPECT_TRUE(log->Spoken().isEmpty());
    EXPECT_EQ(log->starts, 1) << "a failed engine is not retried for every swipe";
}

TEST_F(SpeechWorkerTest, NoticeOfAWorkerAlreadyGoneIsDropped)
{
    log->failStart = true;
    int notices = 0;
    {
        SpeechWorker worker(engine());
        QObject::connect(&worker, &SpeechWorker::SpeechUnavailable, [&notices] { ++notices; });
        worker.Say(QStringLiteral("x"));
        ASSERT_TRUE(worker.WaitIdle(5000));
    }
    SpinFor(50);
    EXPECT_EQ(notices, 0);
}

TEST_F(SpeechWorkerTest, DestructionFinishesTheCurrentPhraseAndDropsTheRest)
{
    log->hold = true;
    auto worker = std::make_unique<SpeechWorker>(engine());
    worker->Say(QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    ASSERT_TRUE(log->WaitInSpeak(5000));
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        log->Release();
    });
    QElapsedTimer timer;
    timer.start();
    worker.reset();
    releaser.join();
    EXPECT_LT(timer.elapsed(), SpeechWorker::StopWaitMs);
    EXPECT_EQ(log->Spoken(), QStringList{QStringLiteral("a")});
    EXPECT_EQ(log->stops, 1);
}

TEST_F(SpeechWorkerTest, WorkerWithNothingToSayNeverStartsTheEngine)
{
    {
        SpeechWorker worker(engine());
        worker.Say(QStringList{QString(), QStringLiteral("   ")});
        EXPECT_TRUE(worker.WaitIdle(1000));
    }
    EXPECT_EQ(log->starts, 0);
    EXPECT_EQ(log->stops, 0);
}

TEST_F(SpeechWorkerTest, BurstBeyondTheQueueLimitDropsTheNewestPhrases)
{
    SpeechWorker worker(engine());
    QStringList burst;
    for (int i = 0; i < SpeechWorker::MaxPending + 30; ++i)
        burst.append(QStringLiteral("P%1").arg(i));
    worker.Say(burst);
    ASSERT_TRUE(worker.WaitIdle(5000));
    EXPECT_EQ(log->Spoken(), burst.mid(0, SpeechWorker::MaxPending));
}

TEST_F(SpeechWorkerTest, WorkersMadeWithoutAnEngineUseTheInstalledFactory)
{
    SetSpeechEngineFactory([this] { return engine(); });
    {
        SpeechWorker worker;
        worker.Say(QStringLiteral("via factory"));
        EXPECT_TRUE(worker.WaitIdle(5000));
    }
    SetSpeechEngineFactory({});
    EXPECT_EQ(log->Spoken(), QStringList{QStringLiteral("via factory")});
}

// The real engine: with or without an audio device a phrase ends (played, or synthesised
// and dropped), and espeak-ng's one per-process state is never shared by two engines.
TEST(EspeakSpeechEngine, SpeaksOrDropsWithoutHangingAndRefusesASecondEngine)
{
    bool started = false;
    bool spoken = false;
    bool secondStarted = true;
    QString error;
    QString secondError;
    std::thread speechThread([&] {
        EspeakSpeechEngine engine;
        started = engine.Start(&error);
        if (!started)
            return;
        spoken = engine.Speak(QStringLiteral("Good Morning"));
        spoken = engine.Speak(QStringLiteral("<speak>O'Brien & Sons</speak>")) && spoken;
        EspeakSpeechEngine second;
        secondStarted = second.Start(&secondError);
        engine.Stop();
    });
    speechThread.join();
    ASSERT_TRUE(started) << qPrintable(error);
    EXPECT_TRUE(spoken);
    EXPECT_FALSE(secondStarted);
    EXPECT_FALSE(secondError.isEmpty());
}

TEST(EspeakSpeechEngine, WorkerOverEspeakFinishesAGreeting)
{
    SpeechWorker worker(std::make_unique<EspeakSpeechEngine>());
    QStringList notices;
    QObject::connect(&worker, &SpeechWorker::SpeechUnavailable,
                     [&notices](const QString &text) { notices.append(text); });
    worker.Say(
        SwipeGreeting(QDateTime(QDate(2026, 1, 5), QTime(21, 5)), true, QStringLiteral("Ann Lee")));
    EXPECT_TRUE(worker.WaitIdle(20000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(notices.isEmpty()) << qPrintable(notices.value(0));
}

} // namespace
