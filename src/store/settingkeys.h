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

inline constexpr TBoolSetting HideOnStartup{"HideOnStartup", false};
inline constexpr TBoolSetting SpeechEnable{"SpeechEnable", false};

// The web report server.
inline constexpr TBoolSetting WebEnabled{"WebEnabled", false};
inline constexpr TStringSetting WebTitle{"WebTitle", "Tallyclock"};
inline constexpr TIntSetting WebPort{"WebPort", 80};

// The device behind the serial port "COM<port>": "COM<port>Device", default /dev/ttyS<port-1>.
QString ComDeviceKey(int port);
QString ComDeviceDefault(int port);

} // namespace Setting
