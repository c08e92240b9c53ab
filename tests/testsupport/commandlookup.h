#pragma once
// Finding the main window's commands: by object name, or as a user does, by caption on the
// menu that carries them. Main thread, like the window.

#include "desk/timerec.h"
#include "testsupport/childlookup.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <gtest/gtest.h>

// The command by its object name ("actlogs").
inline QAction *Command(TTimeRec &w, const char *name)
{
    return Child<QAction>(w, name);
}

// The caption without its accelerator mark.
inline QString Plain(QString title)
{
    return title.remove(u'&');
}

// The menu reached from the menu bar by its titles ("Setup", "Reports/Printouts"); null when
// there is none.
inline QMenu *MenuAt(TTimeRec &w, const QString &path)
{
    QList<QAction *> level = w.menuBar()->actions();
    QMenu *menu = nullptr;
    for (const QString &title : path.split(u'/')) {
        menu = nullptr;
        for (QAction *a : level)
            if (a->menu() && Plain(a->menu()->title()) == title)
                menu = a->menu();
        if (!menu)
            return nullptr;
        level = menu->actions();
    }
    return menu;
}

inline bool OnAnyMenu(const QAction *action)
{
    for (QObject *o : action->associatedObjects())
        if (qobject_cast<QMenu *>(o) || qobject_cast<QMenuBar *>(o))
            return true;
    return false;
}

// The command with that caption on that menu. "" stands for a command kept off every menu,
// found among the window's actions; "grid popup" for the log grid's own menu.
inline QAction *CommandAt(TTimeRec &w, const QString &menuPath, const QString &caption)
{
    QList<QAction *> candidates;
    if (menuPath.isEmpty()) {
        for (QAction *a : w.findChildren<QAction *>())
            if (!OnAnyMenu(a))
                candidates << a;
    } else if (menuPath == QLatin1String("grid popup")) {
        candidates = w.GridMenu()->actions();
    } else if (QMenu *menu = MenuAt(w, menuPath)) {
        candidates = menu->actions();
    }
    QAction *found = nullptr;
    for (QAction *a : candidates) {
        if (a->isSeparator() || a->menu() || Plain(a->text()) != caption)
            continue;
        EXPECT_EQ(found, nullptr) << "two commands " << caption.toStdString() << " on "
                                  << menuPath.toStdString();
        found = a;
    }
    return found;
}
