#pragma once
// Finds a control of a dialog or window by its object name; a missing one fails the test by
// name rather than leaving it to crash on a null pointer. Main thread, like the widgets.

#include <QObject>
#include <QPushButton>
#include <QString>
#include <gtest/gtest.h>

template <typename T> T *Child(QObject &parent, const char *name)
{
    T *child = parent.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Clicks the named button, as a user would.
inline void Press(QObject &parent, const char *name)
{
    if (auto *button = Child<QPushButton>(parent, name))
        button->click();
}
