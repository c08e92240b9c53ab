#include "store/filecopy.h"

#include "store/messages.h"
#include "store/waitcursor.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>

namespace {

constexpr qint64 chunkSize = qint64(1) << 20;

bool copyInto(QFile &in, QSaveFile &out)
{
    const std::unique_ptr<char[]> buffer(new char[size_t(chunkSize)]);
    for (;;) {
        const qint64 n = in.read(buffer.get(), chunkSize);
        if (n < 0)
            return false;
        if (n == 0)
            return in.atEnd();
        if (out.write(buffer.get(), n) != n)
            return false;
        // Serial events and timers go on between chunks; what the user does waits until the
        // copy is over.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace

bool CopyFileByStream(const QString &source, const QString &target)
{
    TWaitCursor wait;
    const QFileInfo sourceInfo(source);
    const QFileInfo targetInfo(target);
    if (source.isEmpty() || target.isEmpty() || !sourceInfo.isFile() || targetInfo.isDir())
        return false;

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // Written beside the target would replace the very file it reads: nothing to do.
    if (targetInfo.exists() && sourceInfo.canonicalFilePath() == targetInfo.canonicalFilePath())
        return true;

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (!copyInto(in, out)) {
        out.cancelWriting();
        return false; // the temporary file goes with out
    }
    // Commit puts the data on disk before the new file takes the target's name.
    const bool committed = out.commit();
    QCoreApplication::processEvents();
    return committed;
}

bool CopyFileSafe(const QString &source, const QString &target)
{
    const bool copied = CopyFileByStream(source, target);
    if (!copied)
        ShowError(QStringLiteral("Operation failed. Please retry!"));
    return copied;
}
