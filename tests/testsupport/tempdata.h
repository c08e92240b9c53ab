#pragma once
// Test fixture: a temporary data folder holding fresh copies of the built database templates,
// with AppPath, DataPath and PhotoPath pointing at it and the data module `dsrc` open on it.
// Main thread only.

#include "store/datasrc.h"
#include "testsupport/tempsettings.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

class TempData
{
public:
    enum class Open
    {
        Connections,     // att and src only
        StartupDataSets, // also logs (on its last row), apb, emails, staff, gidtbl, Qiotime
    };

    explicit TempData(Open open = Open::StartupDataSets);
    ~TempData();
    TempData(const TempData &) = delete;
    TempData &operator=(const TempData &) = delete;

    // Folder of the built templates: $TALLYCLOCK_APP_DIR, else the test's own folder (or ../bin).
    static QString TemplateDir();

    bool IsValid() const { return m_valid; }
    QString Dir() const { return m_dir.path(); }
    QString AttendPath() const;
    QString SysdatPath() const;
    Tdsrc &Dsrc() const { return *m_dsrc; }

    // Around file work of a test (copying a database over a live one, say).
    void CloseDatabases();
    void ReopenDatabases();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Tdsrc> m_dsrc;
    Tdsrc *m_previousDsrc = nullptr;
    QString m_previousApp, m_previousData, m_previousPhoto;
    Open m_open;
    bool m_valid = false;
};

// A test on an empty settings section and a fresh data folder with `dsrc` ready.
class TempDataTest : public TempSettingsTest
{
protected:
    void SetUp() override;
    void TearDown() override;
    TempData &Data() { return *m_data; }

    std::unique_ptr<TempData> m_data;
};
