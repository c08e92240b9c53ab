// Card pages, the master PIN and the settings page over the simulated reader.

#include "offlinefixture.h"

namespace {
void AddStaff(int count)
{
    // Inserted in reverse so that the pages' name order is not the insertion order.
    for (int k = count - 1; k >= 0; --k) {
        TStatement st = dsrc->src.Prepare(QStringLiteral(
            "insert into staffs (CARDNO, NAME, COM3, PHOTO) values (?1, ?2, ?3, ?4)"));
        st.Bind(1, 0x010100 + k);
        st.Bind(2, QStringLiteral("Staff %1").arg(k, 2, 10, QLatin1Char('0')));
        st.Bind(3, k % 2 == 0);
        st.Bind(4, QByteArray(1000, 'x'));
        st.Step();
    }
}

QString PageFrame(int page)
{
    return QStringLiteral("00 09 01 %1 00").arg(page, 2, 16, QLatin1Char('0')).toUpper();
}

int Entries(const ReaderSim::Bytes &page)
{
    int n = 0;
    for (int k = 0; k < 12; ++k)
        n += page[k * 22] != 0xFF ? 1 : 0;
    return n;
}
} // namespace

TEST_F(OfflineTest, CardPagesEndWithAPageOfFFAndCarryTwelveEntriesEach)
{
    struct Case
    {
        int staff;
        std::vector<int> entries; // per page sent
    };
    const Case cases[] = {
        {0, {0}}, {1, {1}}, {11, {11, 0}}, {12, {12, 0}}, {13, {12, 1}}, {25, {12, 12, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.staff);
        dsrc->src.Exec(QStringLiteral("delete from staffs"));
        AddStaff(c.staff);
        sim.ClearReceived();
        messages.Clear();

        ASSERT_TRUE(session.UploadCards());

        QStringList expected{LockFrame};
        for (std::size_t p = 0; p < c.entries.size(); ++p)
            expected << PageFrame(int(p)) << QStringLiteral("data 264");
        expected << UnlockFrame;
        EXPECT_EQ(Frames(), expected);
        for (std::size_t p = 0; p < c.entries.size(); ++p)
            EXPECT_EQ(Entries(sim.AccessPage(int(p))), c.entries[p]) << "page " << p;
        EXPECT_EQ(messages.Texts(), Strs({"Card Information uploaded successfully."}));
    }

    // The first page of the last case: entries by name, COM3 as the flag, FF beyond them.
    const ReaderSim::Bytes page = sim.AccessPage(0);
    EXPECT_EQ(HexText(ReaderSim::Bytes(page.begin(), page.begin() + 44)),
              QStringLiteral("01 01 01 00 FF FF 53 74 61 66 66 20 30 30 20 20 20 20 20 20 20 20 "
                             "00 01 01 01 FF FF 53 74 61 66 66 20 30 31 20 20 20 20 20 20 20 20"));
    EXPECT_EQ(page.size(), 264u);
}

TEST_F(OfflineTest, CardNamesGoOutOneBytePerCharacterCutToSixteen)
{
    TStatement st = dsrc->src.Prepare(
        QStringLiteral("insert into staffs (CARDNO, NAME, COM3) values (5, ?1, 1)"));
    st.Bind(1, QStringLiteral(u"Zoë Ångström-Longername"));
    st.Step();

    ASSERT_TRUE(session.UploadCards());

    const ReaderSim::Bytes page = sim.AccessPage(0);
    EXPECT_EQ(HexText(ReaderSim::Bytes(page.begin() + 6, page.begin() + 23)),
              QStringLiteral("5A 6F EB 20 C5 6E 67 73 74 72 F6 6D 2D 4C 6F 6E FF"));
}

TEST_F(OfflineTest, UploadStopsAtAPageWithoutReply)
{
    AddStaff(13);
    sim.SetSilentAfter(3); // the lock, the first page's command and its data

    EXPECT_FALSE(session.UploadCards());

    EXPECT_EQ(messages.Texts(), Strs({"No response from the reader."}));
    EXPECT_EQ(Frames(), Strs({LockFrame, PageFrame(0), "data 264", PageFrame(1), PageFrame(1),
                              PageFrame(1)}));
    EXPECT_FALSE(session.StatusShown());
}

TEST_F(OfflineTest, MasterPinIsReadAndWrittenLowByteFirst)
{
    sim.SetSetting(SettingMasterPin, {0x39, 0x30});
    int pin = -1;
    ASSERT_TRUE(session.GetMasterPin(pin));
    EXPECT_EQ(pin, 12345);
    EXPECT_EQ(Frames(), Strs({LockFrame, "00 07 09", UnlockFrame}));
    EXPECT_TRUE(messages.Texts().isEmpty());

    sim.ClearReceived();
    ASSERT_TRUE(session.PutMasterPin(54321));
    EXPECT_EQ(Frames(), Strs({LockFrame, "00 08 09 31 D4", UnlockFrame}));
    EXPECT_EQ(sim.Setting(SettingMasterPin), ReaderSim::Bytes({0x31, 0xD4}));
    EXPECT_EQ(messages.Texts(), Strs({"Master PIN is sent successfully."}));
}

TEST_F(OfflineTest, SettingsPutSendsEveryStepInOrder)
{
    reader.SetMode(0);
    reader.SetLockTime(5);
    TOfflineSettings page;
    page.Line1 = QStringLiteral("ABC");
    page.Line2 = QStringLiteral("Twenty characters!!!");
    page.Pin = 12345;
    page.Options = OptionBackLight | OptionBypassAllowed | OptionLockReverse;
    page.RowMode[4] = 1;
    page.RowTime[4] = QTime(7, 5);
    page.RowTime[7] = QTime(23, 59);

    ASSERT_TRUE(session.PutSettings(page, false));

    EXPECT_EQ(Frames(),
              Strs({LockFrame, "00 08 00 41 42 43 20 20 20 20 20 20 20 20 20 20 20 20 20",
                    "00 08 01 54 77 65 6E 74 79 20 63 68 61 72 61 63 74 65 72", "00 08 08 39 30",
                    "00 08 04 13", "00 08 07 05",
                    "00 08 06 00 00 00 00 00 00 00 00 00 00 00 00 01 07 05 00 00 00 00 00 "
                    "00 00 23 59",
                    "00 08 05 C0", UnlockFrame}));
    EXPECT_EQ(page.Line1, QStringLiteral("ABC             "));
    EXPECT_EQ(messages.Texts(), Strs({"Settings are sent successfully."}));
}

TEST_F(OfflineTest, SettingsPutModeByteFollowsTheReaderModeAndClockGoesFirst)
{
    PinClock(QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9)));
    struct Case
    {
        int mode;
        int row5;
        const char *modeFrame;
    };
    const Case cases[] = {
        {0, 0, "00 08 05 80"}, {0, 1, "00 08 05 C0"}, {1, 2, "00 08 05 00"}, {2, 1, "00 08 05 40"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.modeFrame);
        sim.ClearReceived();
        reader.SetMode(c.mode);
        TOfflineSettings page;
        page.RowMode[4] = c.row5;
        ASSERT_TRUE(session.PutSettings(page, true));
        const QStringList frames = Frames();
        ASSERT_EQ(frames.size(), 10); // lock, eight steps, unlock
        EXPECT_EQ(frames[1], QStringLiteral("00 02 09 45 17 01 04 03 29"));
        EXPECT_EQ(frames[8], QString::fromLatin1(c.modeFrame));
    }
}

TEST_F(OfflineTest, SettingsGetFillsThePageFromTheReader)
{
    const std::string line1 = "HELLO WORLD     ";
    sim.SetSetting(SettingLine1, ReaderSim::Bytes(line1.begin(), line1.end()));
    sim.SetSetting(SettingPin, {0x39, 0x30});
    sim.SetSetting(SettingOptions, {0x13, 0x00});
    ReaderSim::Bytes table(24, 0);
    table[0] = 2, table[1] = 0x23, table[2] = 0x59;
    table[21] = 7; // a code the page has no choice for
    sim.SetSetting(SettingTimetable, table);
    sim.SetClock({2027, 6, 7, 8, 9, 10});

    TOfflineSettings page;
    ASSERT_TRUE(session.GetSettings(page));

    EXPECT_EQ(Frames(), Strs({LockFrame, "00 07 00", "00 07 01", "00 01", "00 07 08", "00 07 04",
                              "00 07 05", "00 07 06", UnlockFrame}));
    EXPECT_EQ(page.Line1, QString::fromStdString(line1));
    EXPECT_EQ(page.Line2, QString(16, QLatin1Char(' ')));
    EXPECT_EQ(page.Pin, 12345);
    EXPECT_EQ(page.Options, 0x13);
    EXPECT_EQ(page.RowMode[0], 2);
    EXPECT_EQ(page.RowTime[0], QTime(23, 59));
    EXPECT_EQ(page.RowMode[7], 0);
    EXPECT_EQ(page.Clock.date(), QDate(2027, 6, 7));
    EXPECT_EQ(page.Clock.time().hour(), 8);
    EXPECT_EQ(messages.Texts(), Strs({"Settings are loaded successfully."}));
}

TEST_F(OfflineTest, StoredPrefsOutsideTheirChoicesLoadAsTheFirstChoice)
{
    struct Case
    {
        const char *name;
        const char *key;
        const char *stored;
        std::function<bool(const TOfflinePrefs &)> check;
    };
    const Case cases[] = {
        {"port past the list", "OL_DEF_PORT", "2", [](auto &p) { return p.DefPort == 0; }},
        {"port in the list", "OL_DEF_PORT", "1", [](auto &p) { return p.DefPort == 1; }},
        {"negative port", "OL_DEF_PORT", "-1", [](auto &p) { return p.DefPort == 0; }},
        {"row mode past the choices", "OL_MODE_3", "3",
         [](auto &p) { return p.Page.RowMode[2] == 0; }},
        {"row mode -1", "OL_MODE_3", "-1", [](auto &p) { return p.Page.RowMode[2] == 0; }},
        {"row mode PIN", "OL_MODE_3", "2", [](auto &p) { return p.Page.RowMode[2] == 2; }},
        {"time as stored", "OL_TIME_2", "08:30:00",
         [](auto &p) { return p.Page.RowTime[1] == QTime(8, 30); }},
        {"time without seconds", "OL_TIME_2", "17:05",
         [](auto &p) { return p.Page.RowTime[1] == QTime(17, 5); }},
        {"time that is no time", "OL_TIME_2", "25:99",
         [](auto &p) { return p.Page.RowTime[1] == QTime(0, 0); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ClearSettings();
        QSettings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"))
            .setValue(QString::fromLatin1(c.key), QString::fromLatin1(c.stored));
        EXPECT_TRUE(c.check(LoadSettings(2)));
    }

    ClearSettings();
    const TOfflinePrefs defaults = LoadSettings(2);
    EXPECT_EQ(defaults.Page.Line1, QStringLiteral("ZUVI INTL CO LTD"));
    EXPECT_EQ(defaults.Page.Line2, QStringLiteral(" RFID Solutions "));
    EXPECT_TRUE(defaults.ClearAfter);
    EXPECT_TRUE(defaults.SetClock);
}

TEST_F(OfflineTest, SavedPrefsReadBackAndTimesAreStoredWithSeconds)
{
    TOfflinePrefs prefs;
    prefs.DefPort = 1;
    prefs.ClearAfter = false;
    prefs.Page.Line1 = QStringLiteral("Hi");
    prefs.Page.RowMode[0] = 1;
    prefs.Page.RowTime[0] = QTime(8, 30);
    prefs.Page.Options = 0x0C;
    prefs.Page.Pin = 4321;
    SaveSettings(prefs, true);

    EXPECT_EQ(ReadRegString(QStringLiteral("OL_TIME_1"), QString()), QStringLiteral("08:30:00"));
    EXPECT_EQ(ReadRegString(QStringLiteral("LogoLine1"), QString()),
              QStringLiteral("Hi              "));
    const TOfflinePrefs back = LoadSettings(2);
    EXPECT_EQ(back.DefPort, 1);
    EXPECT_FALSE(back.ClearAfter);
    EXPECT_EQ(back.Page.RowMode[0], 1);
    EXPECT_EQ(back.Page.RowTime[0], QTime(8, 30));
    EXPECT_EQ(back.Page.Options, 0x0C);
    EXPECT_EQ(back.Page.Pin, 4321);

    prefs.DefPort = 0;
    SaveSettings(prefs, false); // no entry chosen: the stored port stays
    EXPECT_EQ(LoadSettings(2).DefPort, 1);
}
