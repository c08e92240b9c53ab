// Whole-file copies: the target is replaced only by a complete copy.

#include "store/filecopy.h"
#include "store/waitcursor.h"
#include "testsupport/fakemessages.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray oldTarget("the backup of last week\n");

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray largeContent()
{
    QByteArray bytes(3 * 1024 * 1024 + 17, '\0'); // more than one chunk
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 + i / 4096);
    return bytes;
}

TEST(CopyFileSafe, ReplacesAnExistingTargetAndLeavesNoTemporaryFile)
{
    for (const QByteArray &content : {QByteArray(), QByteArray("staff\n"), largeContent()}) {
        SCOPED_TRACE(content.size());
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("attend.db"));
        const QString target = dir.filePath(QStringLiteral("backup_attend.db"));
        writeFile(source, content);
        writeFile(target, oldTarget);
        FakeMessages messages;
        EXPECT_TRUE(CopyFileSafe(source, target));
        EXPECT_EQ(messages.Count(), 0);
        EXPECT_EQ(readFile(target), content);
        EXPECT_EQ(readFile(source), content);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{QStringLiteral("attend.db"), QStringLiteral("backup_attend.db")}));
    }
}

TEST(CopyFileSafe, AFailedCopyLeavesTheTargetAsItWas)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("attend.db"));
    writeFile(source, QByteArray("new contents"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    writeFile(folder + QStringLiteral("/inside"), oldTarget);
    struct Row
    {
        const char *name;
        QString source;
        QString target;
        bool targetExists;
    } rows[] = {
        {"missing source", dir.filePath(QStringLiteral("gone.db")),
         dir.filePath(QStringLiteral("backup.db")), true},
        {"source is a folder", folder, dir.filePath(QStringLiteral("backup.db")), true},
        {"missing target folder", source, dir.filePath(QStringLiteral("nowhere/backup.db")), false},
        {"target is a folder", source, folder, false},
        {"no source name", QString(), dir.filePath(QStringLiteral("backup.db")), true},
        // Opens, then fails at the first read: the copy breaks off after the target was made.
        {"source fails while read", QStringLiteral("/proc/self/mem"),
         dir.filePath(QStringLiteral("backup.db")), true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        if (r.targetExists)
            writeFile(r.target, oldTarget);
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
        FakeMessages messages;
        EXPECT_FALSE(CopyFileSafe(r.source, r.target));
        ASSERT_EQ(messages.Count(), 1);
        EXPECT_EQ(messages.Last().text, QStringLiteral("Operation failed. Please retry!"));
        EXPECT_EQ(messages.Last().kind, MsgKind::Error);
        EXPECT_EQ(messages.Last().buttons, MsgButtons::Ok);
        if (r.targetExists)
            EXPECT_EQ(readFile(r.target), oldTarget);
        else
            EXPECT_FALSE(QFileInfo(r.target).isFile());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        EXPECT_EQ(readFile(folder + QStringLiteral("/inside")), oldTarget);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("inside")});
    }
}

TEST(CopyFileByStream, AFileCopiedOntoItselfStaysWhole)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("attend.db"));
    const QByteArray content = largeContent();
    writeFile(name, content);
    for (const QString &target : {name, dir.path() + QStringLiteral("/./attend.db"),
                                  dir.path() + QStringLiteral("//attend.db")}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_TRUE(CopyFileByStream(name, target));
        EXPECT_EQ(readFile(name), content);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("attend.db")});
}

TEST(CopyFileByStream, FailsQuietlyForTheCallerToTell)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("attend.db"));
    writeFile(target, oldTarget);
    // No message: the test main fails on any box nobody expected.
    EXPECT_FALSE(CopyFileByStream(dir.filePath(QStringLiteral("attend-b.db")), target));
    EXPECT_EQ(readFile(target), oldTarget);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the hourglass is gone again
}

TEST(TWaitCursor, ShowsTheHourglassWhileItLivesAndNests)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        TWaitCursor outer;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            TWaitCursor inner;
            EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    try {
        TWaitCursor wait;
        throw std::runtime_error("copy failed");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
