#pragma once
// TDialogRunner: the one way the program's windows show a modal dialog of their own. It runs the
// dialog with exec() until a test hands it a function that answers the dialog instead; a window
// hands it down to the dialogs it opens, so one test function answers them all. Main thread
// only.

#include <functional>

class QDialog;

class TDialogRunner
{
public:
    // Shows a modal dialog and answers its result.
    using Function = std::function<int(QDialog &dialog)>;

    TDialogRunner() = default;
    explicit TDialogRunner(Function function) : m_function(std::move(function)) {}

    // The function that answers from now on (empty: exec() again); answers the one it replaces.
    Function Set(Function function);
    // Shows the dialog through the function set, else with exec(), and answers its result.
    int Run(QDialog &dialog) const;
    // Runs dialogs through this runner, with whatever function it holds at the time: for a
    // dialog that opens others. This runner must outlive it.
    Function HandDown() const;

private:
    Function m_function;
};
