#include "store/settings.h"

#include <QLocale>
#include <QSettings>

namespace {

// Each call uses a fresh QSettings: nothing is kept between calls, so a value written by one
// window is what the next read anywhere sees.

void writeText(const QString &name, const QString &text)
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    s.setValue(name, text);
    s.sync();
    if (s.status() != QSettings::NoError)
        throw ERegistryError("Cannot write setting " + name.toStdString());
}

bool readText(const QString &name, QString *out)
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    const QVariant v = s.value(name);
    if (!v.isValid())
        return false;
    *out = v.toString();
    return true;
}

bool readNumber(const QString &name, int *out)
{
    QString text;
    if (!readText(name, &text))
        return false;
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (ok)
        *out = n;
    return ok;
}

// The locale's short date and long time. A two-digit year would read back in the wrong
// century, and a time-zone name does not read back at all, so both are normalised.
QString settingFormat()
{
    const QLocale loc;
    QString date = loc.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString time = loc.timeFormat(QLocale::LongFormat);
    time.remove(QLatin1Char('t'));
    return (date + QLatin1Char(' ') + time).trimmed();
}

} // namespace

bool ReadRegBool(const QString &name, bool def)
{
    int n = 0;
    return readNumber(name, &n) ? n != 0 : def;
}

void WriteRegBool(const QString &name, bool value)
{
    writeText(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

int ReadRegInteger(const QString &name, int def)
{
    int n = def;
    return readNumber(name, &n) ? n : def;
}

void WriteRegInteger(const QString &name, int value)
{
    writeText(name, QString::number(value));
}

QString ReadRegString(const QString &name, const QString &def)
{
    QString text;
    return readText(name, &text) ? text : def;
}

void WriteRegString(const QString &name, const QString &value)
{
    writeText(name, value);
}

QString DateTimeToSettingText(const QDateTime &value)
{
    return QLocale().toString(value, settingFormat());
}

QDateTime SettingTextToDateTime(const QString &text)
{
    if (text.trimmed().isEmpty())
        return {};
    QDateTime dt = QLocale().toDateTime(text.trimmed(), settingFormat());
    if (!dt.isValid())
        dt = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    return dt;
}

QDateTime ReadRegDateTime(const QString &name, const QDateTime &def)
{
    QString text;
    if (!readText(name, &text))
        return def;
    const QDateTime dt = SettingTextToDateTime(text);
    return dt.isValid() ? dt : def;
}

void WriteRegDateTime(const QString &name, const QDateTime &value)
{
    writeText(name, DateTimeToSettingText(value));
}

int ReadRegChoice(const TIntSetting &setting, int count)
{
    const int index = ReadRegInteger(setting);
    return index >= 0 && index < count ? index : setting.Default;
}

QDateTime ReadRegDateTime(const TTimeSetting &setting)
{
    // Times of day sit on the day the date-time values of the old files count from.
    const QDateTime def(QDate(1899, 12, 30), QTime(setting.Hour, setting.Minute, setting.Second));
    return ReadRegDateTime(QLatin1String(setting.Key), def);
}

void WriteRegDateTime(const TTimeSetting &setting, const QDateTime &value)
{
    WriteRegDateTime(QLatin1String(setting.Key), value);
}

bool ReadRegBool(const TBoolSetting &setting)
{
    return ReadRegBool(QLatin1String(setting.Key), setting.Default);
}

void WriteRegBool(const TBoolSetting &setting, bool value)
{
    WriteRegBool(QLatin1String(setting.Key), value);
}

int ReadRegInteger(const TIntSetting &setting)
{
    return ReadRegInteger(QLatin1String(setting.Key), setting.Default);
}

void WriteRegInteger(const TIntSetting &setting, int value)
{
    WriteRegInteger(QLatin1String(setting.Key), value);
}

QString ReadRegString(const TStringSetting &setting)
{
    return ReadRegString(QLatin1String(setting.Key), QString::fromUtf8(setting.Default));
}

void WriteRegString(const TStringSetting &setting, const QString &value)
{
    WriteRegString(QLatin1String(setting.Key), value);
}

QString Setting::ComDeviceKey(int port)
{
    return QStringLiteral("COM%1Device").arg(port);
}

QString Setting::ComDeviceDefault(int port)
{
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

int DefaultColumnWidth(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::NarrowText:
        return 200;
    case ColumnKind::Boolean:
        return 50;
    case ColumnKind::DateTime:
        return 150;
    case ColumnKind::Other:
        break;
    }
    return 100;
}
