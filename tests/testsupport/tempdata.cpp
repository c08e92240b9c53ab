#include "testsupport/tempdata.h"

#include "store/dbfile.h"
#include "store/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

QString TempData::TemplateDir()
{
    const QString env = qEnvironmentVariable("TALLYCLOCK_APP_DIR");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    // Test executables are built beside the program and its templates.
    const QDir here(QCoreApplication::applicationDirPath());
    if (here.exists(AttendTemplateName()))
        return here.absolutePath();
    return QDir(here.filePath(QStringLiteral("../bin"))).absolutePath();
}

TempData::TempData(Open open) : m_open(open)
{
    m_previousApp = AppPath;
    m_previousData = DataPath;
    m_previousPhoto = PhotoPath;
    m_previousDsrc = dsrc;
    if (!m_dir.isValid())
        return;
    const QDir templates(TemplateDir());
    const QDir data(m_dir.path());
    for (const auto &[tmpl, live] : {std::pair{AttendTemplateName(), AttendFileName()},
                                     std::pair{SysdatTemplateName(), SysdatFileName()}}) {
        const QString target = data.filePath(live);
        if (!QFile::copy(templates.filePath(tmpl), target))
            return;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    data.mkpath(QStringLiteral("photos"));
    AppPath = templates.absolutePath();
    DataPath = data.absolutePath();
    PhotoPath = data.filePath(QStringLiteral("photos"));
    m_dsrc = std::make_unique<Tdsrc>();
    dsrc = m_dsrc.get();
    ReopenDatabases();
    m_valid = true;
}

TempData::~TempData()
{
    if (m_dsrc)
        m_dsrc->CloseAll();
    dsrc = m_previousDsrc;
    m_dsrc.reset();
    AppPath = m_previousApp;
    DataPath = m_previousData;
    PhotoPath = m_previousPhoto;
}

QString TempData::AttendPath() const
{
    return QDir(m_dir.path()).filePath(AttendFileName());
}

QString TempData::SysdatPath() const
{
    return QDir(m_dir.path()).filePath(SysdatFileName());
}

void TempData::CloseDatabases()
{
    m_dsrc->CloseAll();
}

void TempData::ReopenDatabases()
{
    m_dsrc->OpenAttend(AttendPath());
    m_dsrc->OpenSysdat(SysdatPath());
    if (m_open == Open::StartupDataSets) {
        m_dsrc->logs.Open();
        m_dsrc->logs.Last();
        for (TDataSet *ds :
             {&m_dsrc->apb, &m_dsrc->emails, &m_dsrc->staff, &m_dsrc->gidtbl, &m_dsrc->Qiotime})
            ds->Open();
    }
}

void TempDataTest::SetUp()
{
    TempSettingsTest::SetUp();
    m_data = std::make_unique<TempData>();
    ASSERT_TRUE(m_data->IsValid())
        << "no database templates in " << TempData::TemplateDir().toStdString();
}

void TempDataTest::TearDown()
{
    m_data.reset();
    TempSettingsTest::TearDown();
}
