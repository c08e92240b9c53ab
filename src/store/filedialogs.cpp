#include "store/filedialogs.h"

#include "store/paths.h"
#include "store/settings.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtDebug>

namespace {

// Until the program puts its file dialog in place there are no widgets to ask with: that is a
// Cancel.
class NoFileDialogs final : public FileDialogs
{
public:
    bool Ask(QWidget *, const FileDialogRequest &request, QString &) override
    {
        qWarning("file dialog \"%s\" not shown", qUtf8Printable(request.title));
        return false;
    }
};

NoFileDialogs g_noDialogs;
FileDialogs *g_realDialogs = nullptr; // nullptr: none yet
FileDialogs *g_dialogs = nullptr;     // nullptr: the real ones

// "Images (*.jpg,*.jpeg)" -> "Images": Qt reads the patterns from the parentheses, so they are
// written there afresh.
QString descriptionWithoutPatterns(const QString &description)
{
    static const QRegularExpression trailing(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QString text = description;
    text.remove(trailing);
    return text.trimmed();
}

bool selectExportFile(QWidget *owner, const char *filter, const char *suffix, QString &fileName)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.folder = ReadRegString(Setting::LastDataPath);
    // The first export, or the first after a cancelled bare name, goes where the data lives,
    // not where the program was started (an installed copy's folder is not writable).
    if (request.folder.isEmpty())
        request.folder = DataPath;
    request.proposedName = fileName;
    request.filter = QString::fromLatin1(filter);
    request.defaultSuffix = QString::fromLatin1(suffix);
    const bool chosen = RunFileDialog(owner, request, fileName);
    // After a Cancel fileName is still the proposed name, whose folder is remembered then.
    try {
        WriteRegString(Setting::LastDataPath, ExtractFilePath(fileName));
    } catch (const ERegistryError &) {
        // Only the next dialog's first folder is lost.
    }
    return chosen;
}

bool selectDatabaseFile(QWidget *owner, FileDialogKind kind, const QString &title,
                        QString &fileName)
{
    FileDialogRequest request;
    request.kind = kind;
    request.title = title;
    request.proposedName = fileName;
    request.filter = QString::fromLatin1(DatabaseFileFilter);
    request.defaultSuffix = QStringLiteral("db");
    return RunFileDialog(owner, request, fileName);
}

} // namespace

FileDialogs *CurrentFileDialogs()
{
    if (g_dialogs)
        return g_dialogs;
    return g_realDialogs ? g_realDialogs : &g_noDialogs;
}

void SetRealFileDialogs(FileDialogs *dialogs)
{
    g_realDialogs = dialogs;
}

FileDialogs *SetFileDialogs(FileDialogs *dialogs)
{
    FileDialogs *previous = g_dialogs;
    g_dialogs = dialogs;
    return previous;
}

QStringList QtNameFilters(const QString &filter)
{
    static const QRegularExpression separators(QStringLiteral("[\\s;,]+"));
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &pattern : parts[i + 1].split(separators, Qt::SkipEmptyParts)) {
            const QString own = pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
            if (!patterns.contains(own))
                patterns << own;
            const QString upper = own.toUpper();
            if (!patterns.contains(upper))
                patterns << upper;
        }
        if (patterns.isEmpty())
            continue;
        QString description = descriptionWithoutPatterns(parts[i]);
        if (description.isEmpty())
            description = patterns.first();
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

bool RunFileDialog(QWidget *owner, const FileDialogRequest &request, QString &fileName)
{
    QString chosen = fileName;
    if (!CurrentFileDialogs()->Ask(owner, request, chosen) || chosen.isEmpty())
        return false;
    if (!request.defaultSuffix.isEmpty() && QFileInfo(chosen).suffix().isEmpty()) {
        QString suffixed = chosen;
        if (!suffixed.endsWith(QLatin1Char('.')))
            suffixed += QLatin1Char('.');
        suffixed += request.defaultSuffix;
        if (request.kind == FileDialogKind::Save ||
            (!QFileInfo::exists(chosen) && QFileInfo::exists(suffixed)))
            chosen = suffixed;
    }
    fileName = chosen;
    return true;
}

QString ExtractFilePath(const QString &fileName)
{
    return fileName.left(fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

bool SelectExcelFile(QWidget *owner, QString &fileName)
{
    return selectExportFile(owner, ExcelFileFilter, "xlsx", fileName);
}

bool SelectTextFile(QWidget *owner, QString &fileName)
{
    return selectExportFile(owner, TextFileFilter, "txt", fileName);
}

bool SelectMdbToOpen(QWidget *owner, const QString &title, QString &fileName)
{
    return selectDatabaseFile(owner, FileDialogKind::Open, title, fileName);
}

bool SelectMdbToSave(QWidget *owner, const QString &title, QString &fileName)
{
    return selectDatabaseFile(owner, FileDialogKind::Save, title, fileName);
}
