// Test main: one QApplication (offscreen) for the whole run, settings and standard paths
// redirected into a temporary folder so that no test reads or writes the user's own.

#include "testsupport/isolatedsettings.h"
#include "store/filedialogs.h"
#include "store/messages.h"
#include "store/widgetdefaults.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Installed for the whole run: a message box that a test did not expect fails that test
// at once instead of waiting for a click that never comes.
class UnexpectedMessages final : public MessageSink
{
public:
    MsgButton Show(MsgKind, const QString &text, MsgButtons buttons, const QString &) override
    {
        ADD_FAILURE() << "unexpected message box: " << text.toStdString();
        return HasButton(buttons, MsgButton::Cancel) ? MsgButton::Cancel
               : HasButton(buttons, MsgButton::No)   ? MsgButton::No
                                                     : MsgButton::Ok;
    }
};

// Likewise a file dialog that no test queued an answer for: it fails the test and is a Cancel.
class UnexpectedFileDialogs final : public FileDialogs
{
public:
    bool Ask(QWidget *, const FileDialogRequest &request, QString &) override
    {
        ADD_FAILURE() << "unexpected file dialog: " << request.title.toStdString() << " "
                      << request.proposedName.toStdString();
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir settingsDir;
    IsolateSettings(settingsDir);
    QApplication app(argc, argv);
    InstallWidgetDefaults();
    UnexpectedMessages unexpected;
    SetMessageSink(&unexpected);
    UnexpectedFileDialogs unexpectedDialogs;
    SetFileDialogs(&unexpectedDialogs);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
