#include "store/messages.h"

#include <QtDebug>

namespace {

// Until the program puts its message box in place there are no widgets to show one with: the
// text goes to the log and the safe answer is taken.
class LogSink final : public MessageSink
{
public:
    MsgButton Show(MsgKind, const QString &text, MsgButtons buttons, const QString &) override
    {
        qWarning("%s", qUtf8Printable(text));
        return EscapeAnswer(buttons);
    }
};

LogSink g_logSink;
MessageSink *g_defaultSink = nullptr; // nullptr: the log
MessageSink *g_sink = nullptr;        // nullptr: the default

} // namespace

MsgButton EscapeAnswer(MsgButtons buttons)
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

MessageSink *CurrentMessageSink()
{
    if (g_sink)
        return g_sink;
    return g_defaultSink ? g_defaultSink : &g_logSink;
}

void SetDefaultMessageSink(MessageSink *sink)
{
    g_defaultSink = sink;
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
