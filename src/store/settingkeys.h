#pragma once
// The program's settings, each named once with the default a read gives when the value is
// missing or does not convert. Every ReadReg*/WriteReg* call takes one of these, so a stored
// name and its default are spelt in one place. The names and text forms are those of files
// already on disk: never rename one. Constants only; any thread may use them.

#include <QString>

struct TBoolSetting
{
    const char *Key;
    bool Default;
};

struct TIntSetting
{
    const char *Key;
    int Default;
    // The same stored value, read by a user that means something else by "missing".
    constexpr TIntSetting WithDefault(int other) const { return {Key, other}; }
};

struct TStringSetting
{
    const char *Key;
    const char *Default;
};

// A time of day kept as a date-time text; the default is that time.
struct TTimeSetting
{
    const char *Key;
    int Hour;
    int Minute;
    int Second;
};

namespace Setting {

// Automatic IN/OUT on TIME CLOCK readers, and the manual override of the panel.
inline constexpr TBoolSetting AutoInOut{"AutoInOut", false};
inline constexpr TBoolSetting AutoOverride{"AutoOverride", false};

// The camera column and the chosen video device's name.
inline constexpr TBoolSetting CamEnable{"CamEnable", false};
inline constexpr TStringSetting CamSource{"CamSource", ""};

// The door-open button and the port whose relay it releases.
inline constexpr TBoolSetting DoorOpenEnable{"DoorOpenEnable", false};
inline constexpr TIntSetting DoorOpenPortNo{"DoorOpenPortNo", 1};

// E-mail notices of swipes.
inline constexpr TBoolSetting EmailEnabled{"EmailEnabled", false};
inline constexpr TBoolSetting EmailStaffOnly{"EmailStaffOnly", true};
inline constexpr TStringSetting EmailSmtpServer{"EmailSmtpServer", ""};
inline constexpr TStringSetting EmailRecipant{"EmailRecipant", ""};
inline constexpr TStringSetting EmailSender{"EmailSender", ""};
inline constexpr TBoolSetting EmailSendCapture{"EmailSendCapture", false};
// Minutes between sending rounds, 0 for a round every second. The settings dialog proposes
// regular rounds when nothing is stored yet; the queue then sends at once.
inline constexpr TIntSetting EmailIntervals{"EmailIntervals", 30};
inline constexpr TIntSetting EmailIntervalsQueue = EmailIntervals.WithDefault(0);

// The card list's sort column, read back through the list's own columns.
inline constexpr TStringSetting CardListSort{"CI_member", "NAME"};

// The last file a database was backed up to or restored from, and the last one imported
// from; empty: the default name in DataPath.
inline constexpr TStringSetting LogDbLast{"LogDbLast", ""};
inline constexpr TStringSetting SysDbLast{"SysDbLast", ""};
inline constexpr TStringSetting LogDbLastIn{"LogDbLastIn", ""};
inline constexpr TStringSetting SysDbLastIn{"SysDbLastIn", ""};

// The member-card layout dialog. The remark captions' names are spelt as on disk.
inline constexpr TBoolSetting CardPreview{"CardPreview", true};
inline constexpr TBoolSetting CardTransparent{"CardTransparent", true};
inline constexpr TBoolSetting CardTitleEnable{"CardTitleEnable", true};
inline constexpr TStringSetting CardTitleString{"CardTitleString", "STAFF CARD"};
inline constexpr TBoolSetting CardRemarkEnable[4] = {{"CardRemarkEnable1", true},
                                                     {"CardRemarkEnable2", false},
                                                     {"CardRemarkEnable3", false},
                                                     {"CardRemarkEnable4", false}};
inline constexpr TStringSetting CardRemarkString[4] = {{"CardRemakrString1", "Remark"},
                                                       {"CardRemakrString2", ""},
                                                       {"CardRemakrString3", ""},
                                                       {"CardRemakrString4", ""}};
inline constexpr TBoolSetting CardLogoEnable{"CardLogoEnable", false};
inline constexpr TBoolSetting CardBackFrame{"CardBackFrame", true};
inline constexpr TBoolSetting CardStyle{"Card_Style", true}; // true: horizontal cards

inline constexpr TBoolSetting HideOnStartup{"HideOnStartup", false};
inline constexpr TBoolSetting SpeechEnable{"SpeechEnable", false};

// The web report server.
inline constexpr TBoolSetting WebEnabled{"WebEnabled", false};
inline constexpr TStringSetting WebTitle{"WebTitle", "Tallyclock"};
inline constexpr TIntSetting WebPort{"WebPort", 80};

// The report scope dialogs. Indexes of their radio choices, read back through the choices.
inline constexpr TIntSetting PrintDateRange{"PrintDateRange", 0};
inline constexpr TIntSetting PrintPersons{"PrintPersons", 0};
inline constexpr TBoolSetting PrintBlankLines{"PrintBlankLines", false};
inline constexpr TBoolSetting PrintBreakPage{"PrintBreakPage", false};
inline constexpr TBoolSetting PrintEnhance{"PrintEnhance", true};
inline constexpr TBoolSetting PrintPreviewOnly{"PrintPreviewOnly", true};
inline constexpr TBoolSetting PrintFILO{"PrintFILO", false};
inline constexpr TIntSetting PrintRecordsScope{"PrintRecordsScope", 0};
inline constexpr TIntSetting PrintRecordsPerLine{"PrintRecordsPerLine", 4}; // the count
inline constexpr TIntSetting PrintRecordsFormat{"PrintRecordsFormat", 0};
// Working hours of the lateness scopes; the overtime values are shared by both.
inline constexpr TTimeSetting LastStdStart{"LastStdStart", 9, 0, 0};
inline constexpr TTimeSetting LastStdEnd{"LastStdEnd", 17, 0, 0};
inline constexpr TBoolSetting LastSatEnable{"LastSatEnable", false};
inline constexpr TTimeSetting LastSatStart{"LastSatStart", 9, 0, 0};
inline constexpr TTimeSetting LastSatEnd{"LastSatEnd", 13, 0, 0};
inline constexpr TIntSetting LastOtMinimum{"LastOtMinimum", 15};
inline constexpr TIntSetting LastOtMultiple{"LastOtMultiple", 5};
inline constexpr TIntSetting LastOtFree{"LastOtFree", 0};
inline constexpr TTimeSetting LastStdStart1{"LastStdStart1", 9, 0, 0};
inline constexpr TTimeSetting LastStdEnd1{"LastStdEnd1", 13, 0, 0};
inline constexpr TTimeSetting LastStdStart2{"LastStdStart2", 14, 0, 0};
inline constexpr TTimeSetting LastStdEnd2{"LastStdEnd2", 17, 30, 0};
inline constexpr TBoolSetting LastSatEnable1{"LastSatEnable1", false};
inline constexpr TTimeSetting LastSatStart1{"LastSatStart1", 9, 0, 0};
inline constexpr TTimeSetting LastSatEnd1{"LastSatEnd1", 13, 0, 0};
inline constexpr TBoolSetting LastSatEnable2{"LastSatEnable2", false};
inline constexpr TTimeSetting LastSatStart2{"LastSatStart2", 14, 0, 0};
inline constexpr TTimeSetting LastSatEnd2{"LastSatEnd2", 15, 30, 0};

// The folder of the last export file chosen in a workbook or text save dialog.
inline constexpr TStringSetting LastDataPath{"LastDataPath", ""};

// The offline reader manager: the chosen entry of its reader choice, the reader's settings page
// as last shown (the two display lines, the PIN, each timetable row's choice and time, the
// option bits) and its two download and write options.
inline constexpr TIntSetting OfflineDefPort{"OL_DEF_PORT", 0};
inline constexpr TStringSetting LogoLine1{"LogoLine1", "ZUVI INTL CO LTD"};
inline constexpr TStringSetting LogoLine2{"LogoLine2", " RFID Solutions "};
inline constexpr TIntSetting OfflinePin{"OL_PWD", 0};
inline constexpr TIntSetting OfflineRowMode[8] = {
    {"OL_MODE_1", 0}, {"OL_MODE_2", 0}, {"OL_MODE_3", 0}, {"OL_MODE_4", 0},
    {"OL_MODE_5", 0}, {"OL_MODE_6", 0}, {"OL_MODE_7", 0}, {"OL_MODE_8", 0}};
inline constexpr TStringSetting OfflineRowTime[8] = {
    {"OL_TIME_1", "00:00"}, {"OL_TIME_2", "00:00"}, {"OL_TIME_3", "00:00"}, {"OL_TIME_4", "00:00"},
    {"OL_TIME_5", "00:00"}, {"OL_TIME_6", "00:00"}, {"OL_TIME_7", "00:00"}, {"OL_TIME_8", "00:00"}};
inline constexpr TBoolSetting OfflineClearAfter{"OL_ClearAfter", true};
inline constexpr TBoolSetting OfflineSetClock{"OL_SET_CLOCK", true};
inline constexpr TIntSetting OfflineOptions{"OL_OPTIONS", 0};

// The pick list's sort columns, read back through the list's own columns.
inline constexpr TStringSetting PickListMemberSort{"PL_member", "NAME"};
inline constexpr TStringSetting PickListNonmemberSort{"PL_nonmember", "NAME"};

// The device behind the serial port "COM<port>": "COM<port>Device", default /dev/ttyS<port-1>.
QString ComDeviceKey(int port);
QString ComDeviceDefault(int port);

} // namespace Setting
