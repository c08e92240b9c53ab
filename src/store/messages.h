#pragma once
// Message boxes. Every message box of the program goes through the current MessageSink: by
// default a modal QMessageBox captioned with the application's name (put in place with the
// program's widgets, messagebox.h; before that the text goes to the log and the safe answer
// is taken); tests install their own to queue answers and read what was shown. The standard
// messages sit on top of it. User-interface thread only.

#include <QString>

enum class MsgKind
{
    Plain, // no icon
    Information,
    Warning,
    Error,
    Confirmation,
};

enum class MsgButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
};

// The button the user pressed. Closing a box without one counts as Cancel (No for a Yes/No
// box, OK for a box with OK alone).
enum class MsgButton
{
    Ok,
    Cancel,
    Yes,
    No,
};

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    // Shows the text modally and returns the button pressed. An empty caption means the
    // application's name.
    virtual MsgButton Show(MsgKind kind, const QString &text, MsgButtons buttons,
                           const QString &caption) = 0;
};

// The sink in use now (the default box unless one was installed).
MessageSink *CurrentMessageSink();
// Installs the sink (nullptr: the default box) and returns the one it replaces, nullptr when
// that was the default.
MessageSink *SetMessageSink(MessageSink *sink);
// Sets the default the sink falls back on: the message box, once there are widgets to show it.
void SetDefaultMessageSink(MessageSink *sink);

// What a box answers when it is closed without a button.
MsgButton EscapeAnswer(MsgButtons buttons);

// Whether the button is one of the set.
bool HasButton(MsgButtons buttons, MsgButton button);

// General boxes.
MsgButton ShowMsg(MsgKind kind, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                  const QString &caption = QString());
void ShowPlain(const QString &text);
void ShowInfo(const QString &text);
void ShowWarning(const QString &text);
void ShowError(const QString &text);
// A confirmation with OK and Cancel: true only on OK.
bool AskConfirm(const QString &text);
// A box of the given kind with Yes and No: true only on Yes.
bool AskYesNo(MsgKind kind, const QString &text);

// The standard messages. A confirmation (OK, Cancel) is true only on OK.
bool ConfirmDelete();        // "Are you sure to delete this record?"
bool ConfirmDeleteAll();     // "Are you sure to delete all records?"
bool ConfirmOverwrite();     // "Are you sure to overwrite this record?"
void ShowInvalidInput();     // "Invalid input."
void ShowDatabaseError();    // "Database Error."
void ShowDuplicateEntry();   // "The input does not allow deplicate entry. Please re-enter."
void ShowSettingsSaved();    // "Settings are saved."
void ShowCompleted();        // "Completed."
void ShowWrongTimeEntry();   // "Wrong time entry."
void ShowSettingsNotSaved(); // "Settings cannot be saved."
void ShowUpdateFailed();     // "Fail to update the database record. Please retry."
void ShowNoDataRecord();     // "No data record."
void ShowTimeOverlapped();   // "Time overlapped."
