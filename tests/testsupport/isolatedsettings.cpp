#include "testsupport/isolatedsettings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

void IsolateSettings(const QTemporaryDir &folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    QStandardPaths::setTestModeEnabled(true);
}
