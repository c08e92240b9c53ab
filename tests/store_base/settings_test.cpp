#include "store/formplacement.h"
#include "store/settings.h"
#include "testsupport/tempsettings.h"

#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>

#include <type_traits>

namespace {

QString rawValue(const QString &name)
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    return s.value(name).toString();
}

void setRaw(const QString &name, const QString &text)
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    s.setValue(name, text);
}

class SettingsTest : public TempSettingsTest
{
};

TEST_F(SettingsTest, ValuesAreStoredAsTextAndReadBack)
{
    WriteRegBool(QStringLiteral("B1"), true);
    WriteRegBool(QStringLiteral("B0"), false);
    WriteRegInteger(QStringLiteral("N"), -42);
    WriteRegString(QStringLiteral("S"), QStringLiteral("Zoë; 'quoted' %"));
    EXPECT_EQ(rawValue(QStringLiteral("B1")), QStringLiteral("1"));
    EXPECT_EQ(rawValue(QStringLiteral("B0")), QStringLiteral("0"));
    EXPECT_EQ(rawValue(QStringLiteral("N")), QStringLiteral("-42"));
    EXPECT_TRUE(ReadRegBool(QStringLiteral("B1"), false));
    EXPECT_FALSE(ReadRegBool(QStringLiteral("B0"), true));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("N"), 7), -42);
    EXPECT_EQ(ReadRegString(QStringLiteral("S"), {}), QStringLiteral("Zoë; 'quoted' %"));
}

TEST_F(SettingsTest, MissingOrUnconvertibleValuesGiveTheDefault)
{
    const QDateTime def(QDate(2020, 1, 2), QTime(3, 4, 5));
    struct Row
    {
        const char *stored; // nullptr: missing
        int intDefault;
        int expectInt;
        bool expectBoolFromTrueDefault;
    } rows[] = {
        {nullptr, 9, 9, true}, {"", 9, 9, true},  {"abc", 9, 9, true},
        {"12", 9, 12, true},   {"0", 9, 0, false}, {"-3", 9, -3, true},
    };
    for (const Row &r : rows) {
        ClearSettings();
        if (r.stored)
            setRaw(QStringLiteral("V"), QString::fromUtf8(r.stored));
        SCOPED_TRACE(r.stored ? r.stored : "(missing)");
        EXPECT_EQ(ReadRegInteger(QStringLiteral("V"), r.intDefault), r.expectInt);
        EXPECT_EQ(ReadRegBool(QStringLiteral("V"), true), r.expectBoolFromTrueDefault);
        EXPECT_EQ(ReadRegDateTime(QStringLiteral("V"), def), def);
    }
    EXPECT_EQ(ReadRegString(QStringLiteral("Missing"), QStringLiteral("dflt")),
              QStringLiteral("dflt"));
}

// The names and defaults the stored files and the program's behaviour rely on, spelt out here
// independently of the table.
struct NamedSetting
{
    const char *key;
    const char *expectDefault; // the value an empty store reads, in its stored text form
    QString (*read)();     // reads through the table
    QString (*writeRead)(const QString &raw); // stores raw under the table's key, reads back
    const char *tableKey;
};

template <const auto &S> QString readText()
{
    using T = std::decay_t<decltype(S)>;
    if constexpr (std::is_same_v<T, TBoolSetting>)
        return ReadRegBool(S) ? QStringLiteral("1") : QStringLiteral("0");
    else if constexpr (std::is_same_v<T, TIntSetting>)
        return QString::number(ReadRegInteger(S));
    else
        return ReadRegString(S);
}

template <const auto &S> QString writeThenRead(const QString &raw)
{
    setRaw(QLatin1String(S.Key), raw);
    return readText<S>();
}

#define NAMED(key, def, entry)                                                                     \
    NamedSetting { key, def, &readText<Setting::entry>, &writeThenRead<Setting::entry>,            \
                   Setting::entry.Key }

TEST_F(SettingsTest, EveryNamedSettingReadsItsDefaultOnAnEmptyStore)
{
    const NamedSetting table[] = {
        NAMED("AutoInOut", "0", AutoInOut),
        NAMED("AutoOverride", "0", AutoOverride),
        NAMED("CamEnable", "0", CamEnable),
        NAMED("CamSource", "", CamSource),
        NAMED("CI_member", "NAME", CardListSort),
        NAMED("DoorOpenEnable", "0", DoorOpenEnable),
        NAMED("DoorOpenPortNo", "1", DoorOpenPortNo),
        NAMED("EmailEnabled", "0", EmailEnabled),
        NAMED("EmailStaffOnly", "1", EmailStaffOnly),
        NAMED("EmailSmtpServer", "", EmailSmtpServer),
        NAMED("EmailRecipant", "", EmailRecipant),
        NAMED("EmailSender", "", EmailSender),
        NAMED("EmailSendCapture", "0", EmailSendCapture),
        NAMED("EmailIntervals", "30", EmailIntervals),
        NAMED("EmailIntervals", "0", EmailIntervalsQueue),
        NAMED("HideOnStartup", "0", HideOnStartup),
        NAMED("SpeechEnable", "0", SpeechEnable),
        NAMED("WebEnabled", "0", WebEnabled),
        NAMED("WebTitle", "Tallyclock", WebTitle),
        NAMED("WebPort", "80", WebPort),
        NAMED("LastDataPath", "", LastDataPath),
        NAMED("OL_DEF_PORT", "0", OfflineDefPort),
        NAMED("LogoLine1", "ZUVI INTL CO LTD", LogoLine1),
        NAMED("LogoLine2", " RFID Solutions ", LogoLine2),
        NAMED("OL_PWD", "0", OfflinePin),
        NAMED("OL_MODE_1", "0", OfflineRowMode[0]),
        NAMED("OL_MODE_2", "0", OfflineRowMode[1]),
        NAMED("OL_MODE_3", "0", OfflineRowMode[2]),
        NAMED("OL_MODE_4", "0", OfflineRowMode[3]),
        NAMED("OL_MODE_5", "0", OfflineRowMode[4]),
        NAMED("OL_MODE_6", "0", OfflineRowMode[5]),
        NAMED("OL_MODE_7", "0", OfflineRowMode[6]),
        NAMED("OL_MODE_8", "0", OfflineRowMode[7]),
        NAMED("OL_TIME_1", "00:00", OfflineRowTime[0]),
        NAMED("OL_TIME_2", "00:00", OfflineRowTime[1]),
        NAMED("OL_TIME_3", "00:00", OfflineRowTime[2]),
        NAMED("OL_TIME_4", "00:00", OfflineRowTime[3]),
        NAMED("OL_TIME_5", "00:00", OfflineRowTime[4]),
        NAMED("OL_TIME_6", "00:00", OfflineRowTime[5]),
        NAMED("OL_TIME_7", "00:00", OfflineRowTime[6]),
        NAMED("OL_TIME_8", "00:00", OfflineRowTime[7]),
        NAMED("OL_ClearAfter", "1", OfflineClearAfter),
        NAMED("OL_SET_CLOCK", "1", OfflineSetClock),
        NAMED("OL_OPTIONS", "0", OfflineOptions),
    };
    for (const NamedSetting &s : table) {
        SCOPED_TRACE(s.key);
        EXPECT_STREQ(s.tableKey, s.key);
        const QString expectDefault = QString::fromLatin1(s.expectDefault);
        EXPECT_EQ(s.read(), expectDefault);
        // A value stored under the old name is what the table reads.
        const QString stored = expectDefault == QStringLiteral("0")   ? QStringLiteral("1")
                               : expectDefault == QStringLiteral("1") ? QStringLiteral("0")
                                                                      : QStringLiteral("42");
        EXPECT_EQ(s.writeRead(stored), stored);
        ClearSettings();
    }
}

TEST_F(SettingsTest, NamedSettingsAreWrittenInTheirTextForms)
{
    WriteRegBool(Setting::EmailStaffOnly, false);
    WriteRegInteger(Setting::EmailIntervals, 15);
    WriteRegString(Setting::EmailSender, QStringLiteral("desk@example.org"));
    EXPECT_EQ(rawValue(QStringLiteral("EmailStaffOnly")), QStringLiteral("0"));
    EXPECT_EQ(rawValue(QStringLiteral("EmailIntervals")), QStringLiteral("15"));
    EXPECT_EQ(rawValue(QStringLiteral("EmailSender")), QStringLiteral("desk@example.org"));
    // Both readers of the interval see the stored value; only a missing one differs.
    EXPECT_EQ(ReadRegInteger(Setting::EmailIntervalsQueue), 15);

    EXPECT_EQ(Setting::ComDeviceKey(3), QStringLiteral("COM3Device"));
    EXPECT_EQ(ReadRegString(Setting::ComDeviceKey(3), Setting::ComDeviceDefault(3)),
              QStringLiteral("/dev/ttyS2"));
}

TEST_F(SettingsTest, DateTimeRoundTripKeepsTheCenturyAndSeconds)
{
    const QDateTime when(QDate(2031, 12, 9), QTime(23, 59, 58));
    WriteRegDateTime(QStringLiteral("When"), when);
    EXPECT_FALSE(rawValue(QStringLiteral("When")).isEmpty());
    EXPECT_EQ(ReadRegDateTime(QStringLiteral("When"), {}), when);
}

TEST_F(SettingsTest, MaximisedFormKeepsItsLastNormalPlacement)
{
    QWidget form;
    LoadFormPlacement(QStringLiteral("T"), &form);
    EXPECT_EQ(form.size(), QSize(640, 480)); // defaults
    form.resize(500, 300);
    form.move(20, 30);
    SaveFormPlacement(QStringLiteral("T"), &form);
    EXPECT_EQ(rawValue(QStringLiteral("T_WIDTH")), QStringLiteral("500"));

    form.showMaximized();
    form.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(form.isMaximized());
    WriteRegInteger(QStringLiteral("T_WIDTH"), 510); // must survive the maximised save
    SaveFormPlacement(QStringLiteral("T"), &form);
    EXPECT_EQ(rawValue(QStringLiteral("T_MAX")), QStringLiteral("1"));
    EXPECT_EQ(rawValue(QStringLiteral("T_WIDTH")), QStringLiteral("510"));

    QWidget other;
    LoadFormPlacement(QStringLiteral("T"), &other);
    EXPECT_TRUE(other.windowState() & Qt::WindowMaximized);
    other.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(other.width(), 510);
}

TEST_F(SettingsTest, GridColumnWidthsDefaultByKindAndRoundTrip)
{
    QStandardItemModel model(0, 4);
    const ColumnKind kinds[] = {ColumnKind::DateTime, ColumnKind::NarrowText, ColumnKind::Boolean,
                                ColumnKind::Other};
    for (int c = 0; c < 4; ++c)
        model.setHeaderData(c, Qt::Horizontal, static_cast<int>(kinds[c]), ColumnKindRole);
    QTableView grid;
    grid.setModel(&model);
    LoadGridColumnWidths(QStringLiteral("G"), &grid);
    EXPECT_EQ(grid.columnWidth(0), 150);
    EXPECT_EQ(grid.columnWidth(1), 200);
    EXPECT_EQ(grid.columnWidth(2), 50);
    EXPECT_EQ(grid.columnWidth(3), 100);

    grid.setColumnWidth(3, 77);
    SaveGridColumnWidths(QStringLiteral("G"), &grid);
    EXPECT_EQ(rawValue(QStringLiteral("G_3")), QStringLiteral("77"));
    QTableView again;
    again.setModel(&model);
    LoadGridColumnWidths(QStringLiteral("G"), &again);
    EXPECT_EQ(again.columnWidth(3), 77);
}

TEST_F(SettingsTest, GridsOwnWidthsStandInForTheDefaultsByKind)
{
    QStandardItemModel model(0, 3);
    for (int c = 0; c < 3; ++c)
        model.setHeaderData(c, Qt::Horizontal, static_cast<int>(ColumnKind::DateTime),
                            ColumnKindRole);
    WriteRegInteger(QStringLiteral("G_1"), 90);
    QTableView grid;
    grid.setModel(&model);
    LoadGridColumnWidths(QStringLiteral("G"), &grid, {185, 165});
    EXPECT_EQ(grid.columnWidth(0), 185); // the grid's own
    EXPECT_EQ(grid.columnWidth(1), 90);  // a saved width wins
    EXPECT_EQ(grid.columnWidth(2), 150); // none of its own: by kind
}

TEST_F(SettingsTest, GridWithoutModelIsLeftAlone)
{
    QTableView grid;
    LoadGridColumnWidths(QStringLiteral("G"), &grid);
    SaveGridColumnWidths(QStringLiteral("G"), &grid);
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    EXPECT_TRUE(s.allKeys().isEmpty());
}

} // namespace
