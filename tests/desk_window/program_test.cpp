// The program itself, started as a child process: a first copy prepares its data folder and
// runs; a copy started while the lock is held goes no further than its information box.

#include "desk/instancelock.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QString programPath()
{
    return QDir(TempData::TemplateDir()).filePath(QStringLiteral("tallyclock"));
}

// A copy of the program with its own settings and data folders under root, and the given
// runtime folder (where the lock lives).
class ProgramRun
{
public:
    ProgramRun(const QString &root, const QString &runtime)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        env.insert(QStringLiteral("HOME"), root);
        env.insert(QStringLiteral("TALLYCLOCK_DATA"), root + QStringLiteral("/data"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~ProgramRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool Start()
    {
        m_process.start(programPath(), {});
        return m_process.waitForStarted(5000);
    }
    bool Running() const { return m_process.state() == QProcess::Running; }

private:
    QProcess m_process;
};

// Waits up to ms for the condition, letting the child run.
template <typename F> bool waitFor(F condition, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

TEST(ProgramTest, FirstCopyPreparesItsDataFolderAndASecondStopsAtTheBox)
{
    if (!QFileInfo(programPath()).isExecutable())
        GTEST_SKIP() << "no program at " << programPath().toStdString();
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("data"));
    const QString runtime = root.filePath(QStringLiteral("run"));
    const QString lock = runtime + QStringLiteral("/Tallyclock.lock");

    ProgramRun first(root.path(), runtime);
    ASSERT_TRUE(first.Start());
    EXPECT_TRUE(waitFor(
        [&] {
            return QFileInfo::exists(data + QStringLiteral("/attend.db-wal")) &&
                   QFileInfo::exists(data + QStringLiteral("/sysdat.db-wal"));
        },
        10000))
        << "the databases were not opened";
    EXPECT_TRUE(QFileInfo::exists(lock));
    // The photo folder comes with the window, a moment after the databases on a busy machine.
    EXPECT_TRUE(
        waitFor([&] { return QFileInfo::exists(data + QStringLiteral("/photos")); }, 10000));
    EXPECT_TRUE(first.Running());

    // While the first copy runs the lock is not ours to take.
    InstanceLock probe(runtime);
    EXPECT_FALSE(probe.TryLock());

    // A second copy with its own data folder: it waits at its box and never makes that folder.
    QTemporaryDir other;
    ProgramRun second(other.path(), runtime);
    ASSERT_TRUE(second.Start());
    QThread::msleep(1500);
    EXPECT_TRUE(second.Running()); // showing "You have run another instance ..."
    EXPECT_FALSE(QFileInfo::exists(other.filePath(QStringLiteral("data"))));
    EXPECT_TRUE(first.Running());
}

} // namespace
