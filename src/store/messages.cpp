#include "store/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

namespace {

// What a box answers when it is closed without a button.
MsgButton escapeAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgButton::Ok;
    case MsgButtons::YesNo:
        return MsgButton::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
        break;
    }
    return MsgButton::Cancel;
}

class BoxSink final : public MessageSink
{
public:
    MsgButton Show(MsgKind kind, const QString &text, MsgButtons buttons,
                   const QString &caption) override
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        // No widgets to show a box with, or a call from a worker thread: say it in the log
        // and take the safe answer rather than crash or hang.
        if (!app || QThread::currentThread() != app->thread()) {
            qWarning("%s", qUtf8Printable(text));
            return escapeAnswer(buttons);
        }

        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (kind) {
        case MsgKind::Plain:
            break;
        case MsgKind::Information:
            icon = QMessageBox::Information;
            break;
        case MsgKind::Warning:
            icon = QMessageBox::Warning;
            break;
        case MsgKind::Error:
            icon = QMessageBox::Critical;
            break;
        case MsgKind::Confirmation:
            icon = QMessageBox::Question;
            break;
        }
        QMessageBox::StandardButtons set = QMessageBox::Ok;
        QMessageBox::StandardButton escape = QMessageBox::Ok;
        switch (buttons) {
        case MsgButtons::Ok:
            break;
        case MsgButtons::OkCancel:
            set = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MsgButtons::YesNo:
            set = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case MsgButtons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        }

        QWidget *owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        const QString title =
            caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption;
        QMessageBox box(icon, title, text, set, owner);
        box.setWindowModality(Qt::ApplicationModal);
        box.setEscapeButton(escape);
        switch (box.exec()) {
        case QMessageBox::Ok:
            return MsgButton::Ok;
        case QMessageBox::Cancel:
            return MsgButton::Cancel;
        case QMessageBox::Yes:
            return MsgButton::Yes;
        case QMessageBox::No:
            return MsgButton::No;
        default:
            return escapeAnswer(buttons);
        }
    }
};

BoxSink g_boxSink;
MessageSink *g_sink = nullptr; // nullptr: the box

} // namespace

MessageSink *CurrentMessageSink()
{
    return g_sink ? g_sink : &g_boxSink;
}

MessageSink *SetMessageSink(MessageSink *sink)
{
    MessageSink *previous = g_sink;
    g_sink = sink;
    return previous;
}

bool HasButton(MsgButtons buttons, MsgButton button)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return button == MsgButton::Ok;
    case MsgButtons::OkCancel:
        return button == MsgButton::Ok || button == MsgButton::Cancel;
    case MsgButtons::YesNo:
        return button == MsgButton::Yes || button == MsgButton::No;
    case MsgButtons::YesNoCancel:
        return button != MsgButton::Ok;
    }
    return false;
}

MsgButton ShowMsg(MsgKind kind, const QString &text, MsgButtons buttons, const QString &caption)
{
    return CurrentMessageSink()->Show(kind, text, buttons, caption);
}

void ShowPlain(const QString &text)
{
    ShowMsg(MsgKind::Plain, text);
}

void ShowInfo(const QString &text)
{
    ShowMsg(MsgKind::Information, text);
}

void ShowWarning(const QString &text)
{
    ShowMsg(MsgKind::Warning, text);
}

void ShowError(const QString &text)
{
    ShowMsg(MsgKind::Error, text);
}

bool AskConfirm(const QString &text)
{
    return ShowMsg(MsgKind::Confirmation, text, MsgButtons::OkCancel) == MsgButton::Ok;
}

bool AskYesNo(MsgKind kind, const QString &text)
{
    return ShowMsg(kind, text, MsgButtons::YesNo) == MsgButton::Yes;
}

bool ConfirmDelete()
{
    return AskConfirm(QStringLiteral("Are you sure to delete this record?"));
}

bool ConfirmDeleteAll()
{
    return AskConfirm(QStringLiteral("Are you sure to delete all records?"));
}

bool ConfirmOverwrite()
{
    return AskConfirm(QStringLiteral("Are you sure to overwrite this record?"));
}

void ShowInvalidInput()
{
    ShowError(QStringLiteral("Invalid input."));
}

void ShowDatabaseError()
{
    ShowError(QStringLiteral("Database Error."));
}

void ShowDuplicateEntry()
{
    ShowError(QStringLiteral("The input does not allow deplicate entry. Please re-enter."));
}

void ShowSettingsSaved()
{
    ShowInfo(QStringLiteral("Settings are saved."));
}

void ShowCompleted()
{
    ShowInfo(QStringLiteral("Completed."));
}

void ShowWrongTimeEntry()
{
    ShowError(QStringLiteral("Wrong time entry."));
}

void ShowSettingsNotSaved()
{
    ShowError(QStringLiteral("Settings cannot be saved."));
}

void ShowUpdateFailed()
{
    ShowError(QStringLiteral("Fail to update the database record. Please retry."));
}

void ShowNoDataRecord()
{
    ShowError(QStringLiteral("No data record."));
}

void ShowTimeOverlapped()
{
    ShowError(QStringLiteral("Time overlapped."));
}
