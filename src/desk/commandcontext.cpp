#include "desk/commandcontext.h"

#include "store/dialogrunner.h"
#include "store/guard.h"

int TCommandContext::RunDialog(QDialog &dialog) const
{
    return m_dialogs.Run(dialog);
}

TLogGridScope::TLogGridScope(TTimeRec &window, During during) : m_window(window)
{
    if (during == During::Hidden)
        m_window.ShowLogGrid(false);
}

TLogGridScope::~TLogGridScope()
{
    if (!m_shown)
        RunGuarded([this] { m_window.ShowLogGrid(true); });
}

void TLogGridScope::ShowAgain()
{
    m_shown = true;
    m_window.ShowLogGrid(true);
}
