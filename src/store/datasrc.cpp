#include "store/datasrc.h"

Tdsrc *dsrc = nullptr;

Tdsrc::Tdsrc()
    : logs(att, QStringLiteral("select * from recorder order by systime")),
      staff(src, QStringLiteral("select * from staffs order by staffs.name")),
      reader(src, QStringLiteral("select * from reader")),
      apb(src, QStringLiteral("select * from apb order by apb.cardno")),
      emails(src, QStringLiteral("select * from emails order by seq")),
      pwdtbl(src, QStringLiteral("select * from passwd")),
      Qiotime(src, QStringLiteral("select * from iotime order by tfrom")),
      gidtbl(src, QStringLiteral("select * from gid order by id"))
{
}

Tdsrc::~Tdsrc()
{
    CloseAll();
}

void Tdsrc::OpenAttend(const QString &path)
{
    att.Open(path, DbKind::Attend);
}

void Tdsrc::OpenSysdat(const QString &path)
{
    src.Open(path, DbKind::Sysdat);
}

void Tdsrc::CloseAll() noexcept
{
    att.Close();
    src.Close();
}
