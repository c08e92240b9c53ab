// The real program ended by a signal: SIGTERM, SIGHUP and SIGINT close it as "Exit" does, so it
// ends normally, with its window's state saved and its single-instance lock freed, instead of
// dying where it stands.

#include "store/paths.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

bool waitFor(const std::function<bool()> &done, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (done())
            return true;
        QThread::msleep(50);
    }
    return done();
}

TEST(SignalClose, EachSignalClosesTheDeskAsExitDoes)
{
    const QString program = QDir(TempData::TemplateDir()).filePath(QStringLiteral("tallyclock"));
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(number);
        QTemporaryDir root;
        const QString data = root.filePath(QStringLiteral("data"));
        const QString config = root.filePath(QStringLiteral("config"));
        const QString runtime = root.filePath(QStringLiteral("runtime"));
        ASSERT_TRUE(QDir().mkpath(config) && QDir().mkpath(runtime));
        QFile::setPermissions(runtime, OwnerOnlyFolder);
        QString error;
        ASSERT_TRUE(PrepareDataFolder(TempData::TemplateDir(), data, &error));

        QProcess desk;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TALLYCLOCK_DATA"), data);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        desk.setProcessEnvironment(env);
        desk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        desk.start(program, {});
        ASSERT_TRUE(desk.waitForStarted(5000));
        // Up once its window has made the photos folder; then a moment for the event loop.
        ASSERT_TRUE(waitFor([&] { return QFileInfo(QDir(data).filePath(QStringLiteral("photos"))).isDir(); },
                            15000));
        QThread::msleep(500);
        ASSERT_EQ(::kill(pid_t(desk.processId()), number), 0);
        ASSERT_TRUE(desk.waitForFinished(15000));
        EXPECT_EQ(desk.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(desk.exitCode(), 0);
        // What the orderly close leaves: the window's placement among the settings.
        QFile settings(QDir(config).filePath(QStringLiteral("ZUVI/Tallyclock.conf")));
        ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
        EXPECT_TRUE(settings.readAll().contains("MainForm")) << "no window placement saved";
        EXPECT_FALSE(QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("Tallyclock.lock"))));
    }
}

} // namespace
