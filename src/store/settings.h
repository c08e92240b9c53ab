#pragma once
// The program's settings: one section of named values, each stored as text, read and
// written one value at a time with nothing cached. User-interface thread only.

#include "store/settingkeys.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <stdexcept>

// A write that the settings store refused.
class ERegistryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

bool ReadRegBool(const QString &name, bool def);
void WriteRegBool(const QString &name, bool value);
int ReadRegInteger(const QString &name, int def);
void WriteRegInteger(const QString &name, int value);
QString ReadRegString(const QString &name, const QString &def);
void WriteRegString(const QString &name, const QString &value);
QDateTime ReadRegDateTime(const QString &name, const QDateTime &def);
void WriteRegDateTime(const QString &name, const QDateTime &value);

// The same for a named setting of settingkeys.h, with its own default.
bool ReadRegBool(const TBoolSetting &setting);
void WriteRegBool(const TBoolSetting &setting, bool value);
int ReadRegInteger(const TIntSetting &setting);
void WriteRegInteger(const TIntSetting &setting, int value);
QString ReadRegString(const TStringSetting &setting);
void WriteRegString(const TStringSetting &setting, const QString &value);
// The stored index of a choice among count items; one outside them reads as the default.
int ReadRegChoice(const TIntSetting &setting, int count);
// A time of day; the date part is that of the stored text (the default's is 1899-12-30).
QDateTime ReadRegDateTime(const TTimeSetting &setting);
void WriteRegDateTime(const TTimeSetting &setting, const QDateTime &value);

// The text form of a date-time in the settings, and back (an invalid result when the
// text does not convert).
QString DateTimeToSettingText(const QDateTime &value);
QDateTime SettingTextToDateTime(const QString &text);

// What a grid column holds, for its default width. A model reports it through
// headerData(section, Qt::Horizontal, ColumnKindRole) as an int.
enum class ColumnKind { Other = 0, NarrowText = 1, Boolean = 2, DateTime = 3 };
inline constexpr int ColumnKindRole = 0x0100 + 77; // Qt::UserRole + 77
int DefaultColumnWidth(ColumnKind kind);
