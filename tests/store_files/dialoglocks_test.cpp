// The program's real file dialogs shown over folders that hold the desk's live databases: once
// a dialog has listed the files (reading them for their icons and types) and is cancelled, the
// desk still holds its locks on them, so another program that reads the files leaves the
// write-ahead logs in place, and a desk killed afterwards has lost nothing it committed.
// The desk is a child process: this test program, started on the child test below.

#include "store/db/sqlitedb.h"
#include "store/dbfile.h"
#include "store/filedialogs.h"
#include "store/images.h"
#include "store/paths.h"
#include "testsupport/outsidereader.h"
#include "testsupport/tempdata.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include <csignal>

namespace {

const char *const kChildDataEnv = "TALLYCLOCK_DIALOG_LOCKS_DATA";

void insertRow(TDatabase &attend, TDatabase &sysdat, int n)
{
    TStatement swipe = attend.Prepare(
        QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO) VALUES ('2026-01-01 08:00:00', ?)"));
    swipe.Bind(1, n);
    swipe.Step();
    TStatement card =
        sysdat.Prepare(QStringLiteral("INSERT INTO staffs (CARDNO, NAME) VALUES (?, 'HOLDER')"));
    card.Bind(1, n);
    card.Step();
}

// Waits, with the event loop turning, until the dialog shown modally lists every entry of
// folder, then cancels it. With browseTo set, the dialog starts elsewhere and the user goes
// to that folder first. False when the list did not fill in time.
bool cancelOnceListed(const QString &folder, bool browseTo, const std::function<void()> &show)
{
    bool listed = false;
    bool browsed = false;
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceListed;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto *model = dialog->findChild<QFileSystemModel *>();
        if (!model)
            return;
        if (!dialog->property("watched").toBool()) {
            dialog->setProperty("watched", true);
            QObject::connect(model, &QFileSystemModel::directoryLoaded, dialog,
                             [&, folder](const QString &path) {
                                 if (QDir(path) == QDir(folder) && !listed) {
                                     listed = true;
                                     sinceListed.start();
                                 }
                             });
            if (browseTo && !browsed) {
                dialog->setDirectory(folder);
                browsed = true;
            }
        }
        const QModelIndex index = model->index(folder);
        if (!listed && index.isValid() && model->rowCount(index) > 0 &&
            !model->canFetchMore(index)) {
            listed = true; // loaded before the dialog was first seen here
            sinceListed.start();
        }
        // Once listed, a moment more for the icons and types that are read from the files.
        if ((listed && sinceListed.elapsed() > 500) || clock.elapsed() > 10000)
            dialog->reject();
    });
    poll.start();
    show();
    return listed;
}

// The child: the databases open as the desk holds them, every dialog of the program shown over
// the folders and cancelled, then rows written on the parent's word until it kills the child.
TEST(DialogLocksChild, ShowEveryDialogThenWrite)
{
    const QString data = qEnvironmentVariable(kChildDataEnv);
    if (data.isEmpty())
        GTEST_SKIP() << "runs only as the child of the dialog lock test";
    AppPath = DataPath = data;
    PhotoPath = QDir(data).filePath(QStringLiteral("photos"));
    TDatabase attend;
    TDatabase sysdat;
    attend.Open(QDir(data).filePath(AttendFileName()), DbKind::Attend);
    sysdat.Open(QDir(data).filePath(SysdatFileName()), DbKind::Sysdat);
    int rows = 0;
    insertRow(attend, sysdat, ++rows);

    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    FileDialogs *const previous = SetFileDialogs(nullptr);
    const QString elsewhere = QDir(data).filePath(QStringLiteral("photos"));
    struct Dialog
    {
        const char *name;
        std::function<void(const QString &folder)> show;
    };
    const Dialog dialogs[] = {
        {"open database",
         [](const QString &folder) {
             QString name = QDir(folder).filePath(QStringLiteral("backup_attend.db"));
             SelectMdbToOpen(nullptr, QStringLiteral("Restore Attendance Records"), name);
         }},
        {"save database",
         [](const QString &folder) {
             QString name = QDir(folder).filePath(QStringLiteral("backup_sysdat.db"));
             SelectMdbToSave(nullptr, QStringLiteral("Backup System Database"), name);
         }},
        {"save text",
         [](const QString &folder) {
             QString name = QDir(folder).filePath(QStringLiteral("Records.txt"));
             SelectTextFile(nullptr, name);
         }},
        {"save workbook",
         [](const QString &folder) {
             QString name = QDir(folder).filePath(QStringLiteral("Records.xlsx"));
             SelectExcelFile(nullptr, name);
         }},
        {"open picture",
         [](const QString &folder) {
             // It starts in the current folder.
             QDir::setCurrent(folder);
             QImage picture;
             LoadImageFromFile(nullptr, picture, 240, 320);
         }},
    };
    int unlisted = 0;
    for (const Dialog &d : dialogs) {
        for (bool browse : {false, true}) {
            if (!cancelOnceListed(data, browse, [&] { d.show(browse ? elsewhere : data); })) {
                ++unlisted;
                std::cerr << d.name << (browse ? ", browsed to" : ", started in")
                          << ": the folder was not listed" << std::endl;
            }
        }
    }
    SetFileDialogs(previous);
    insertRow(attend, sysdat, ++rows);
    std::cout << "READY " << rows << " " << unlisted << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        insertRow(attend, sysdat, ++rows);
        std::cout << "WROTE " << rows << std::endl;
    }
}

bool waitForLine(QProcess &child, const QByteArray &start, QByteArray &line)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 120000) {
        while (child.canReadLine()) {
            line = child.readLine().trimmed();
            if (line.startsWith(start))
                return true;
        }
        if (child.state() == QProcess::NotRunning)
            return false;
        child.waitForReadyRead(200);
    }
    return false;
}

TEST(RealFileDialogs, LeaveTheDesksLocksOnItsLiveDatabases)
{
    QTemporaryDir dir;
    const QString data = dir.path();
    for (const auto &[tmpl, live] : {std::pair{AttendTemplateName(), AttendFileName()},
                                     std::pair{SysdatTemplateName(), SysdatFileName()}}) {
        const QString target = QDir(data).filePath(live);
        ASSERT_TRUE(QFile::copy(QDir(TempData::TemplateDir()).filePath(tmpl), target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    // What sits beside the databases in a data folder: the photos, a picture, a backup.
    ASSERT_TRUE(QDir(data).mkdir(QStringLiteral("photos")));
    for (const char *name : {"cardlogo.jpg", "backup_attend.db", "Records.txt"}) {
        QFile file(QDir(data).filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not much");
    }

    QProcess desk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildDataEnv), data);
    desk.setProcessEnvironment(env);
    desk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    desk.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--gtest_filter=DialogLocksChild.*")});
    ASSERT_TRUE(desk.waitForStarted());
    QByteArray line;
    ASSERT_TRUE(waitForLine(desk, "READY ", line)) << "the child did not get through the dialogs";
    const QList<QByteArray> ready = line.split(' ');
    ASSERT_EQ(ready.size(), 3) << line.toStdString();
    int rows = ready[1].toInt();
    ASSERT_EQ(rows, 2);
    EXPECT_EQ(ready[2].toInt(), 0) << "dialogs that did not list the data folder";

    const QString files[] = {QDir(data).filePath(AttendFileName()),
                             QDir(data).filePath(SysdatFileName())};
    const QString counts[] = {QStringLiteral("SELECT COUNT(*) FROM recorder"),
                              QStringLiteral("SELECT COUNT(*) FROM staffs")};
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_TRUE(ProcessLocks(desk.processId(), file));
        EXPECT_TRUE(ProcessLocks(desk.processId(), file + QStringLiteral("-shm")));
    }
    // An outside reader now, then a row the desk writes afterwards, then a crash.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(OutsideQuery(files[i], counts[i]).toInt(), rows) << files[i].toStdString();
    for (const QString &file : files)
        EXPECT_TRUE(QFile::exists(file + QStringLiteral("-wal"))) << file.toStdString();
    desk.write("write\n");
    ASSERT_TRUE(waitForLine(desk, "WROTE ", line));
    rows = line.mid(6).toInt();
    ::kill(pid_t(desk.processId()), SIGKILL);
    desk.waitForFinished();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(OutsideQuery(files[i], counts[i]).toInt(), rows) << files[i].toStdString();
}

} // namespace
