#include "store/dialogrunner.h"

#include <QDialog>

TDialogRunner::Function TDialogRunner::Set(Function function)
{
    Function previous = std::move(m_function);
    m_function = std::move(function);
    return previous;
}

int TDialogRunner::Run(QDialog &dialog) const
{
    return m_function ? m_function(dialog) : dialog.exec();
}

TDialogRunner::Function TDialogRunner::HandDown() const
{
    return [this](QDialog &dialog) { return Run(dialog); };
}
