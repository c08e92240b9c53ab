// The one runner of the program's modal dialogs: exec() until a function answers instead, a
// function handed back when replaced, and a runner handed down that follows later changes.

#include "store/dialogrunner.h"

#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A dialog that closes itself with this result once it runs modally.
int execClosingWith(const TDialogRunner &runner, QDialog &dialog, int result)
{
    QTimer::singleShot(0, &dialog, [&dialog, result] { dialog.done(result); });
    return runner.Run(dialog);
}

TEST(DialogRunner, ExecsUntilAFunctionAnswersAndAgainWhenItIsCleared)
{
    TDialogRunner runner;
    QDialog dialog;
    EXPECT_EQ(execClosingWith(runner, dialog, 7), 7);

    QDialog *asked = nullptr;
    EXPECT_FALSE(runner.Set([&asked](QDialog &d) { return asked = &d, 3; }));
    EXPECT_EQ(runner.Run(dialog), 3);
    EXPECT_EQ(asked, &dialog);
    EXPECT_FALSE(dialog.isVisible());

    const TDialogRunner::Function previous = runner.Set({});
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous(dialog), 3);
    EXPECT_EQ(execClosingWith(runner, dialog, 5), 5);
}

// A dialog that opens others keeps what it was handed; the window's test may set its function
// only after that dialog exists.
TEST(DialogRunner, HandedDownRunnerFollowsTheFunctionSetLater)
{
    TDialogRunner runner;
    const TDialogRunner::Function handedDown = runner.HandDown();
    runner.Set([](QDialog &) { return 11; });
    QDialog dialog;
    EXPECT_EQ(handedDown(dialog), 11);
    runner.Set([](QDialog &) { return 12; });
    EXPECT_EQ(handedDown(dialog), 12);
    runner.Set({});
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.done(4); });
    EXPECT_EQ(handedDown(dialog), 4);
}

} // namespace
