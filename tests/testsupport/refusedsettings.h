#pragma once
// For its lifetime the settings store refuses every write, as on a full disk or a read-only
// settings file: a folder stands where the settings file should be. Reads still answer the
// defaults. Main thread only.

#include <QDir>
#include <QFile>
#include <QSettings>

class RefusedSettings
{
public:
    RefusedSettings()
        : m_file(QSettings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock")).fileName())
    {
        QFile::remove(m_file);
        m_held = QDir().mkpath(m_file);
    }
    ~RefusedSettings() { QDir(m_file).removeRecursively(); }
    RefusedSettings(const RefusedSettings &) = delete;
    RefusedSettings &operator=(const RefusedSettings &) = delete;

    bool Held() const { return m_held; }

private:
    QString m_file;
    bool m_held = false;
};
