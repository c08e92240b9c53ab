#include "store/waitcursor.h"

#include <QCursor>
#include <QGuiApplication>

TWaitCursor::TWaitCursor()
{
    // A console tool or a test without a GUI application has no cursor to change.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_shown = true;
    }
}

TWaitCursor::~TWaitCursor()
{
    if (m_shown && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}
