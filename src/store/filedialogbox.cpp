#include "store/filedialogbox.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QThread>

namespace {

class QtFileDialogs final : public FileDialogs
{
public:
    bool Ask(QWidget *owner, const FileDialogRequest &request, QString &fileName) override
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        // Without widgets, or off the main thread, there is nobody to ask: that is a Cancel.
        if (!app || QThread::currentThread() != app->thread()) {
            qWarning("file dialog \"%s\" not shown", qUtf8Printable(request.title));
            return false;
        }
        if (!owner)
            owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        QFileDialog dialog(owner);
        PrepareFileDialog(dialog, request);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty() || chosen.first().isEmpty())
            return false;
        fileName = chosen.first();
        return true;
    }
};

} // namespace

FileDialogs &QtFileDialogBox()
{
    static QtFileDialogs dialogs;
    return dialogs;
}

void PrepareFileDialog(QFileDialog &dialog, const FileDialogRequest &request)
{
    const bool save = request.kind == FileDialogKind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!request.title.isEmpty())
        dialog.setWindowTitle(request.title);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.proposedName.isEmpty()) {
        const QFileInfo proposed(request.proposedName);
        // A bare name stays in the folder asked for; one with a folder of its own goes there.
        if (!ExtractFilePath(request.proposedName).isEmpty())
            dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
}
