// The seams' defaults: before the program's widgets are in place a box or a file dialog is
// not shown at all and takes the safe answer; InstallWidgetDefaults puts the real ones in.

#include "store/beep.h"
#include "store/filedialogbox.h"
#include "store/filedialogs.h"
#include "store/messagebox.h"
#include "store/messages.h"
#include "store/widgetdefaults.h"

#include <QApplication>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList g_logged;

void keepWarning(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtWarningMsg)
        g_logged << text;
}

// Takes the run's own sinks and the widget defaults away for one test, and puts all back.
class WithoutWidgets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_sink = SetMessageSink(nullptr);
        m_dialogs = SetFileDialogs(nullptr);
        SetDefaultMessageSink(nullptr);
        SetRealFileDialogs(nullptr);
        g_logged.clear();
        m_handler = qInstallMessageHandler(keepWarning);
    }

    void TearDown() override
    {
        qInstallMessageHandler(m_handler);
        InstallWidgetDefaults();
        SetFileDialogs(m_dialogs);
        SetMessageSink(m_sink);
    }

    MessageSink *m_sink = nullptr;
    FileDialogs *m_dialogs = nullptr;
    QtMessageHandler m_handler = nullptr;
};

TEST_F(WithoutWidgets, ABoxIsLoggedAndTakesTheAnswerOfClosingIt)
{
    const struct Row
    {
        MsgButtons buttons;
        MsgButton answer;
    } rows[] = {
        {MsgButtons::Ok, MsgButton::Ok},
        {MsgButtons::OkCancel, MsgButton::Cancel},
        {MsgButtons::YesNo, MsgButton::No},
        {MsgButtons::YesNoCancel, MsgButton::Cancel},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(int(r.buttons));
        g_logged.clear();
        EXPECT_EQ(ShowMsg(MsgKind::Warning, QStringLiteral("Not shown."), r.buttons), r.answer);
        EXPECT_EQ(g_logged, QStringList{QStringLiteral("Not shown.")});
    }
    EXPECT_FALSE(ConfirmDelete());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WithoutWidgets, AFileDialogIsACancelThatLeavesTheNameAlone)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = QStringLiteral("Backup");
    request.defaultSuffix = QStringLiteral("db");
    QString fileName = QStringLiteral("backup_attend");
    EXPECT_FALSE(RunFileDialog(nullptr, request, fileName));
    EXPECT_EQ(fileName, QStringLiteral("backup_attend"));
    ASSERT_EQ(g_logged.size(), 1);
    EXPECT_TRUE(g_logged.first().contains(QStringLiteral("Backup")));
}

TEST_F(WithoutWidgets, InstallingTheWidgetDefaultsPutsTheRealOnesBehindEachSeam)
{
    InstallWidgetDefaults();
    EXPECT_EQ(CurrentMessageSink(), &MessageBoxSink());
    EXPECT_EQ(CurrentFileDialogs(), &QtFileDialogBox());
    const TBeepHook installed = SetBeepHook(nullptr);
    EXPECT_EQ(installed, &QApplication::beep);
    SetBeepHook(installed);
}

} // namespace
