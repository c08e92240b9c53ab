#pragma once
// What a command of the main window works with when its body lives outside the window: the
// window itself (the owner of its dialogs and gauges), the runner its dialogs go through, and a
// way to start long work. TLogGridScope hides the log grid for the work of a command and shows
// it again, read anew, on every way out. Main thread only.

#include "desk/timerec.h"

class QDialog;
class QWidget;
class TDialogRunner;

class TCommandContext
{
public:
    TCommandContext(TTimeRec &window, const TDialogRunner &dialogs)
        : m_window(window), m_dialogs(dialogs)
    {
    }

    TTimeRec &Window() const { return m_window; }
    // The parent of the command's dialogs, gauges and file dialogs.
    QWidget *Owner() const { return &m_window; }
    TDeskCore &Core() const { return *m_window.Core(); }
    const TDialogRunner &Dialogs() const { return m_dialogs; }
    int RunDialog(QDialog &dialog) const;

    // Long work refuses the database commands and holds a close of the window until it ends.
    bool LongWorkRunning() const { return m_window.LongWorkRunning(); }
    [[nodiscard]] TTimeRec::TLongWorkScope LongWork() const
    {
        return TTimeRec::TLongWorkScope(m_window);
    }
    // A close of the window waits for the work under way: a command that comes back to its
    // dialog stops instead.
    bool ClosePending() const { return m_window.ClosePending(); }

private:
    TTimeRec &m_window;
    const TDialogRunner &m_dialogs;
};

class TLogGridScope
{
public:
    enum class During
    {
        Hidden, // the grid is hidden from the start
        Shown,  // the grid stays up; it is only read anew at the end
    };

    explicit TLogGridScope(TTimeRec &window, During during = During::Hidden);
    // Shows the grid unless ShowAgain() has; an error doing so is shown as its message.
    ~TLogGridScope();
    TLogGridScope(const TLogGridScope &) = delete;
    TLogGridScope &operator=(const TLogGridScope &) = delete;

    // Shows the grid now, before the command's last words; an error is thrown to the command.
    void ShowAgain();

private:
    TTimeRec &m_window;
    bool m_shown = false;
};
