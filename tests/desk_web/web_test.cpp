// The web report seen through a real HTTP client on loopback: the pages, their limits and
// parameters, escaping of stored texts, bad requests, a port that is taken, and stopping.

#include "loopback.h"

#include "desk/web/webreport.h"
#include "desk/web/webserver.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/outsidereader.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"
#include "testsupport/zonescope.h"

#include <httplib.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <dirent.h>
#include <functional>
#include <thread>
#include <vector>
#include <netinet/in.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Everything the server sends until it closes the connection (at most 5 s).
std::string readToClose(int fd)
{
    std::string all;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    char buf[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        all.append(buf, static_cast<std::size_t>(n));
    }
    return all;
}

// True when the server closes the connection before the deadline.
bool closedByServer(int fd, std::chrono::steady_clock::time_point deadline)
{
    char buf[256];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        if (::recv(fd, buf, sizeof buf, 0) <= 0)
            return true;
    }
}

class WebTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        PinClock(QDateTime(QDate(2026, 3, 9), QTime(14, 5, 7)));
        m_web = std::make_unique<TWebReporter>(Data().AttendPath(), Data().SysdatPath());
        QString error;
        ASSERT_TRUE(m_web->Start(0, &error)) << error.toStdString();
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_web->Port());
        m_client->set_read_timeout(5, 0);
    }
    void TearDown() override
    {
        m_client.reset();
        m_web.reset();
        PinClock(QDateTime());
        TempDataTest::TearDown();
    }

    // The page's lines; fails the test unless the answer is 200.
    QStringList get(const std::string &target)
    {
        auto res = m_client->Get(target.c_str());
        if (!res) {
            ADD_FAILURE() << target << ": no answer";
            return {};
        }
        EXPECT_EQ(res->status, 200) << target;
        return QString::fromStdString(res->body).split(QStringLiteral("\r\n"));
    }
    static QStringList rowsOf(const QStringList &lines)
    {
        QStringList rows;
        for (const QString &l : lines)
            if (l.startsWith(QLatin1String("<tr align=center")))
                rows << l;
        return rows;
    }
    static QString countLine(const QStringList &lines)
    {
        for (const QString &l : lines)
            if (l.startsWith(QLatin1Char('[')))
                return l;
        return {};
    }

    std::unique_ptr<TWebReporter> m_web;
    std::unique_ptr<httplib::Client> m_client;
};

TEST_F(WebTest, TodayWithoutRecordsIsTheEmptyPage)
{
    AddLog(QDateTime(QDate(2026, 3, 8), QTime(9, 0)), 5); // yesterday only
    const QStringList lines = get("/today");
    const QStringList expected{QStringLiteral("<head>"),
                               QStringLiteral("<title>"),
                               QStringLiteral("Tallyclock"),
                               QStringLiteral("</title>"),
                               QStringLiteral("</head>"),
                               QStringLiteral("<body bgcolor=#f5f5f5>"),
                               QStringLiteral("<center>"),
                               QStringLiteral("<strong><u>Time Logs Report V1.0</u></strong><br>"),
                               QStringLiteral("Mar 9, 2026 Mon - PM 02:05:07<br>"),
                               QStringLiteral("[0 record(s)]<br>"),
                               QStringLiteral("<br>"),
                               QStringLiteral("No record.<br>"),
                               QStringLiteral("</table>"),
                               QStringLiteral("</center>"),
                               QStringLiteral("</body>")};
    EXPECT_EQ(lines, expected);
}

TEST_F(WebTest, LimitsAndOrder)
{
    const QDateTime base(QDate(2026, 3, 9), QTime(8, 0));
    for (int i = 0; i < 12; ++i)
        AddLog(base.addSecs(60 * i), 100 + i);
    AddLog(QDateTime(QDate(2026, 3, 8), QTime(8, 0)), 99); // not today

    struct Case
    {
        const char *target;
        const char *count;
        int rows;
        const char *firstCard;
    };
    const Case cases[] = {
        {"/logs?5", "[5 / 13 record(s)]<br>", 5, "[111]"},
        {"/logs?0", "[0 / 13 record(s)]<br>", 1, "[111]"}, // the limit is tested after a row
        {"/logs?abc", "[13 record(s)]<br>", 13, "[111]"},  // not a number: default 20
        {"/logs", "[13 record(s)]<br>", 13, "[111]"},
        {"/LOGS?5", "[13 record(s)]<br>", 13, "[111]"}, // another case: all records, 20 rows
        {"/", "[13 record(s)]<br>", 13, "[111]"},
        {"/today?3", "[3 / 12 record(s)]<br>", 3, "[111]"},
        {"/today?3&4", "[12 record(s)]<br>", 12, "[111]"}, // two parameters: none used
        {"/monitor?30", "[12 record(s)]<br>", 12, "[111]"},
        {"/monitor?30&2", "[2 / 12 record(s)]<br>", 2, "[111]"},
        {"/logs?%35", "[5 / 13 record(s)]<br>", 5, "[111]"}, // percent-encoded
        {"/logs?-3", "[13 record(s)]<br>", 13, "[111]"},       // below zero: none given
        {"/today?-1", "[12 record(s)]<br>", 12, "[111]"},
        {"/monitor?30&-2", "[12 record(s)]<br>", 12, "[111]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        const QStringList lines = get(c.target);
        EXPECT_EQ(countLine(lines), QString::fromLatin1(c.count));
        const QStringList rows = rowsOf(lines);
        ASSERT_EQ(rows.size(), c.rows);
        EXPECT_TRUE(rows[0].contains(QString::fromLatin1(c.firstCard))) << rows[0].toStdString();
    }
    // Newest first, backgrounds alternating from white.
    const QStringList rows = rowsOf(get("/logs?5"));
    for (int i = 0; i < rows.size(); ++i) {
        EXPECT_TRUE(rows[i].startsWith(i % 2 == 0
                                           ? QLatin1String("<tr align=center bgcolor=#FFFFFF>")
                                           : QLatin1String("<tr align=center bgcolor=#F5F5F5>")));
        EXPECT_TRUE(rows[i].contains(QStringLiteral("[%1]").arg(111 - i)));
    }
}

// The server keeps the log's count and the holders' names between requests on a connection:
// each change to the files must still show on the very next page.
TEST_F(WebTest, KeptCountsAndNamesFollowEveryChange)
{
    const int group = AddGroup(QStringLiteral("Day"));
    AddStaff(7, QStringLiteral("Ann"), group);
    const QDateTime base(QDate(2026, 3, 9), QTime(8, 0));
    int next = 0;
    auto add = [&](int n) {
        for (int i = 0; i < n; ++i)
            AddLog(base.addSecs(60 * next++), 7);
    };
    struct Step
    {
        const char *what;
        std::function<void()> change;
        int count;
    };
    const std::vector<Step> steps = {
        {"three rows", [&] { add(3); }, 3},
        {"two more", [&] { add(2); }, 5},
        {"nothing changed", [] {}, 5},
        {"the newest deleted and one added (its row id used again)",
         [&] {
             dsrc->att.Exec(QStringLiteral(
                 "delete from recorder where rowid = (select max(rowid) from recorder)"));
             add(1);
         },
         5},
        {"an old one deleted through the grid's dataset",
         [&] {
             dsrc->logs.Refresh();
             dsrc->logs.First();
             dsrc->logs.Delete();
         },
         4},
        {"all deleted", [&] { dsrc->att.Exec(QStringLiteral("delete from recorder")); }, 0},
        {"one added after", [&] { add(1); }, 1},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const QStringList lines = get("/logs?20");
        EXPECT_EQ(countLine(lines), QStringLiteral("[%1 record(s)]<br>").arg(step.count));
        EXPECT_EQ(rowsOf(lines).size(), step.count);
    }
    EXPECT_TRUE(rowsOf(get("/logs"))[0].contains(QStringLiteral("<td>Ann</td>")));
    dsrc->src.Exec(QStringLiteral("update staffs set NAME = 'Bea' where CARDNO = 7"));
    EXPECT_TRUE(rowsOf(get("/logs"))[0].contains(QStringLiteral("<td>Bea</td>")));
}

TEST_F(WebTest, MonitorRefresh)
{
    const QStringList one = get("/monitor?30");
    EXPECT_EQ(one.mid(0, 7), (QStringList{QStringLiteral("<head>"),
                                          QStringLiteral("<meta http-equiv=refresh content=30>"),
                                          QStringLiteral("<title>"), QStringLiteral("Tallyclock"),
                                          QStringLiteral(" - auto refresh in 30s"),
                                          QStringLiteral("</title>"), QStringLiteral("</head>")}));
    const QStringList two = get("/monitor?30&100");
    EXPECT_EQ(two[1], QStringLiteral("<meta http-equiv=refresh content=30>"));
    EXPECT_TRUE(get("/monitor")[1].contains(QLatin1String("content=60>")));

    // Below a second reads as the default, so a wall screen never reloads without pause; a
    // refresh is at most an hour.
    struct Case
    {
        const char *target;
        int refresh;
    };
    const Case cases[] = {{"/monitor?0", 60},         {"/monitor?-5", 60},
                          {"/monitor?0&3", 60},       {"/monitor?1", 1},
                          {"/monitor?3600", 3600},    {"/monitor?3601", 3600},
                          {"/monitor?2000000000", 3600}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        const QStringList lines = get(c.target);
        ASSERT_GE(lines.size(), 5);
        EXPECT_EQ(lines[1], QStringLiteral("<meta http-equiv=refresh content=%1>").arg(c.refresh));
        EXPECT_EQ(lines[4], QStringLiteral(" - auto refresh in %1s").arg(c.refresh));
    }
}

// However many rows are asked for, a page holds a few thousand at most.
TEST_F(WebTest, RowLimitIsCapped)
{
    const int rows = TWebReportPage::MaxRowLimit + 10;
    dsrc->att.Exec(QStringLiteral(
                       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                       "%1) INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) SELECT "
                       "strftime('%Y-%m-%d %H:%M:%S', '2026-03-09', '+' || x || ' seconds'), 7, "
                       "1, 1, 0 FROM c")
                       .arg(rows));
    const QString capped = QStringLiteral("[%1 / %2 record(s)]<br>")
                               .arg(TWebReportPage::MaxRowLimit)
                               .arg(rows);
    for (const char *target :
         {"/logs?2000000000", "/today?6000", "/monitor?30&99999", "/person?7&5001"}) {
        SCOPED_TRACE(target);
        const QStringList lines = get(target);
        EXPECT_EQ(countLine(lines), capped);
        EXPECT_EQ(rowsOf(lines).size(), TWebReportPage::MaxRowLimit);
    }
}

TEST_F(WebTest, PersonByCardNameAndUnknownName)
{
    const int office = AddGroup(QStringLiteral("Office"));
    AddStaff(7, QStringLiteral("Alice Brown"), office);
    AddStaff(8, QStringLiteral("Bob Stone"), office);
    const QDateTime t(QDate(2026, 3, 9), QTime(8, 0));
    AddLog(t, 7, 1, 2);
    AddLog(t.addSecs(60), 8, 2, 3);
    AddLog(t.addSecs(120), 7, 2, 0);

    struct Case
    {
        const char *target;
        int rows;
        const char *mustHave;
    };
    const Case cases[] = {
        {"/person?7", 2, "Alice Brown"},
        {"/person?Bob", 1, "Bob Stone"},
        {"/person?Alice%20B&1", 1, "Alice Brown"},
        {"/person?Alice%20B", 2, "Alice Brown"},
        {"/person?Nobody", 3, "Bob Stone"}, // names nobody: every record
        {"/person?bob", 3, "Alice Brown"},  // the name match is case-sensitive
        {"/person?", 3, "Bob Stone"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        const QStringList rows = rowsOf(get(c.target));
        EXPECT_EQ(rows.size(), c.rows);
        EXPECT_TRUE(rows.join(QString()).contains(QString::fromLatin1(c.mustHave)));
    }
    const QStringList rows = rowsOf(get("/person?7"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], QStringLiteral("<tr align=center bgcolor=#FFFFFF><td>Mar 9, 2026 Mon - AM "
                                      "08:02:00</td><td>Alice Brown</td><td>Office</td><td>OUT</"
                                      "td><td>DENIED</td></tr>"));
    EXPECT_TRUE(rows[1].contains(QLatin1String("<td>IN</td><td>COM2</td>")));
}

// Stored times are wall-clock values: in Berlin, where the clocks skip from 02:00 to 03:00 on
// 2026-03-29 and go back from 03:00 to 02:00 on 2026-10-25, a swipe stored in either hour shows
// as it was written; a text that is no time leaves the cell empty.
TEST_F(WebTest, TimeCellShowsTheStoredClock)
{
    const ZoneScope berlin("Europe/Berlin");
    struct Case
    {
        const char *stored;
        const char *shown;
    };
    const Case cases[] = {
        {"2026-03-29 02:30:00", "Mar 29, 2026 Sun - AM 02:30:00"}, // the skipped hour
        {"2026-03-29 02:30", "Mar 29, 2026 Sun - AM 02:30:00"},    // the same, without seconds
        {"2026-10-25 02:30:00", "Oct 25, 2026 Sun - AM 02:30:00"}, // the repeated hour
        {"2026-03-29 14:05:09", "Mar 29, 2026 Sun - PM 02:05:09"},
        {"no time", ""},
    };
    TWebReportPage page(dsrc->att, dsrc->src);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        AddLog(c.stored, 5, 1);
        const QStringList rows = rowsOf(QString::fromStdString(page.Build(
                                            QStringLiteral("/logs"), {}, QStringLiteral("Desk"),
                                            QDateTime(QDate(2026, 3, 29), QTime(12, 0))))
                                            .split(QStringLiteral("\r\n")));
        ASSERT_EQ(rows.size(), 1);
        EXPECT_TRUE(rows[0].startsWith(QStringLiteral("<tr align=center bgcolor=#FFFFFF><td>") +
                                       QString::fromLatin1(c.shown) + QStringLiteral("</td>")))
            << rows[0].toStdString();
    }
}

TEST_F(WebTest, StoredTextsAreEscaped)
{
    WriteRegString(QStringLiteral("WebTitle"), QStringLiteral("Desk <b>&</b>"));
    const int group = AddGroup(QStringLiteral("R&D <i>"));
    AddStaff(9, QStringLiteral("<script>x</script>"), group);
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 9);
    const QString page = get("/logs").join(QStringLiteral("\n"));
    EXPECT_FALSE(page.contains(QLatin1String("<script>")));
    EXPECT_TRUE(page.contains(QLatin1String("<td>&lt;script&gt;x&lt;/script&gt;</td>")));
    EXPECT_TRUE(page.contains(QLatin1String("<td>R&amp;D &lt;i&gt;</td>")));
    EXPECT_TRUE(page.contains(QLatin1String("\nDesk &lt;b&gt;&amp;&lt;/b&gt;\n")));
}

TEST_F(WebTest, BadRequestsGetAPageOrAPlainError)
{
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 1);
    // Many parameters, invalid UTF-8, SQL in a name, a huge number.
    std::string many = "/logs?";
    for (int i = 0; i < 1000; ++i)
        many += "1&";
    const std::string pages[] = {
        many,        "/person?%FF%FE%00", "/person?x'%20or%201=1--", "/logs?99999999999999999999",
        "/person?%", "/t%6Fday"};
    for (const std::string &target : pages) {
        SCOPED_TRACE(target);
        auto res = m_client->Get(target.c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_NE(res->body.find("</body>"), std::string::npos);
    }
    // A request line beyond what the server takes at all, and a header line likewise: a short
    // text says why.
    auto longOne = m_client->Get(("/logs?" + std::string(40000, '9')).c_str());
    ASSERT_TRUE(longOne);
    EXPECT_EQ(longOne->status, 414);
    EXPECT_EQ(longOne->body, "URI Too Long\n");
    auto longHeader =
        m_client->Get("/logs", httplib::Headers{{"X-Filler", std::string(40000, 'a')}});
    ASSERT_TRUE(longHeader);
    EXPECT_EQ(longHeader->status, 431);
    EXPECT_EQ(longHeader->body, "Request Header Fields Too Large\n");
    // What the library itself refuses is not answered with an empty body either.
    const int fd = ConnectLoopback(m_web->Port());
    ASSERT_GE(fd, 0);
    const std::string garbage = "GARBAGE\r\n\r\n";
    ASSERT_EQ(::send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(garbage.size()));
    const std::string reply = readToClose(fd);
    ::close(fd);
    EXPECT_EQ(reply.rfind("HTTP/1.1 400 ", 0), 0u) << reply;
    EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), "Bad Request\n") << reply;
    auto post = m_client->Post("/logs", "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    auto del = m_client->Delete("/logs");
    ASSERT_TRUE(del);
    EXPECT_EQ(del->status, 405);
}

TEST_F(WebTest, SilentClientDoesNotHoldUpOthersOrStop)
{
    const int fd = ConnectLoopback(m_web->Port());
    ASSERT_GE(fd, 0);
    // The others are served meanwhile.
    EXPECT_EQ(countLine(get("/logs")), QStringLiteral("[0 record(s)]<br>"));
    const auto start = std::chrono::steady_clock::now();
    m_web->Stop();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(m_web->IsRunning());
    EXPECT_LT(took, std::chrono::seconds(4));
    ::close(fd);
}

// Requests sent back to back on one connection are answered in turn; HEAD gets no body.
TEST_F(WebTest, BackToBackRequestsOnOneConnection)
{
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 1);
    const int fd = ConnectLoopback(m_web->Port());
    ASSERT_GE(fd, 0);
    const std::string requests = "GET /logs HTTP/1.1\r\nHost: desk\r\n\r\n"
                                 "HEAD /today HTTP/1.1\r\nHost: desk\r\n\r\n"
                                 "GET /today?1 HTTP/1.1\r\nHost: desk\r\nConnection: close\r\n\r\n";
    ASSERT_EQ(::send(fd, requests.data(), requests.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(requests.size()));
    const std::string replies = readToClose(fd);
    ::close(fd);
    std::vector<std::size_t> starts;
    for (std::size_t at = replies.find("HTTP/1.1 "); at != std::string::npos;
         at = replies.find("HTTP/1.1 ", at + 1))
        starts.push_back(at);
    ASSERT_EQ(starts.size(), 3u) << replies;
    for (const std::size_t at : starts)
        EXPECT_EQ(replies.compare(at, 12, "HTTP/1.1 200"), 0) << replies.substr(at, 40);
    // The body of the first ends where the HEAD answer begins; that one has none.
    EXPECT_EQ(replies.compare(starts[1] - 7, 7, "</body>"), 0);
    const std::string head = replies.substr(starts[1], starts[2] - starts[1]);
    EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n") << head;
    EXPECT_NE(replies.find("</body>", starts[2]), std::string::npos);
}

// A long query string is still a request for the page, its items read as usual.
TEST_F(WebTest, LongQueryStringsGetThePage)
{
    for (int i = 0; i < 3; ++i)
        AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, i)), 10 + i);
    struct Case
    {
        const char *name;
        std::string target;
        const char *count;
    };
    const Case cases[] = {
        {"10 KB that is no number", "/logs?" + std::string(10000, 'x'), "[3 record(s)]<br>"},
        {"10 KB of one number", "/logs?" + std::string(10000, '0') + "2", "[2 / 3 record(s)]<br>"},
        {"10 KB name of nobody", "/person?" + std::string(10000, 'z') + "&1",
         "[3 record(s)]<br>"},
        {"10 KB path", "/" + std::string(10000, 'p') + "?1", "[3 record(s)]<br>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(countLine(get(c.target)), QString::fromLatin1(c.count));
    }
}

// A page is always sent whole: byte ranges, one or a hundred overlapping ones, are ignored.
TEST_F(WebTest, ByteRangesGetTheWholePage)
{
    for (int i = 0; i < 30; ++i)
        AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, i)), 10 + i);
    auto whole = m_client->Get("/logs?30");
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->status, 200);
    std::string hundred = "bytes=0-";
    for (int i = 1; i < 100; ++i)
        hundred += "," + std::to_string(i) + "-";
    for (const std::string &range : {std::string("bytes=0-9"), std::string("bytes=-5"), hundred}) {
        SCOPED_TRACE(range.substr(0, 20));
        auto res = m_client->Get("/logs?30", httplib::Headers{{"Range", range}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->body, whole->body);
        EXPECT_EQ(res->get_header_value("Accept-Ranges"), "none");
    }
}

// Clients that connect and send nothing, or stop halfway through a request, hold up nobody
// and are dropped after a short time.
TEST_F(WebTest, IdleAndHalfSentConnectionsHoldUpNobodyAndAreDropped)
{
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 1);
    const std::string half = "GET /logs HTTP/1.1\r\nHost: desk\r\n";
    std::vector<int> socks;
    for (int i = 0; i < 200; ++i) {
        const int fd = ConnectLoopback(m_web->Port());
        ASSERT_GE(fd, 0) << i;
        socks.push_back(fd);
        if (i % 2 == 1) {
            ASSERT_EQ(::send(fd, half.data(), half.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(half.size()));
        }
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(countLine(get("/logs")), QStringLiteral("[1 record(s)]<br>"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    int dropped = 0;
    for (const int fd : socks) {
        dropped += closedByServer(fd, deadline) ? 1 : 0;
        ::close(fd);
    }
    EXPECT_EQ(dropped, 200);
}

TEST_F(WebTest, TakenPortIsReportedAndNothingRuns)
{
    TWebReporter second(Data().AttendPath(), Data().SysdatPath());
    QString error;
    EXPECT_FALSE(second.Start(m_web->Port(), &error));
    EXPECT_FALSE(second.IsRunning());
    EXPECT_TRUE(error.contains(QString::number(m_web->Port()))) << error.toStdString();
    // The first one still serves.
    EXPECT_EQ(get("/logs").first(), QStringLiteral("<head>"));
}

TEST_F(WebTest, SuspendedWhileTheDeskMaintainsItsFiles)
{
    m_web->Suspend();
    auto res = m_client->Get("/logs");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503);
    m_web->Resume();
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 4);
    EXPECT_EQ(countLine(get("/logs")), QStringLiteral("[1 record(s)]<br>"));
}

// Files of `path` (the database, its -wal and -shm) this process holds open now.
int openFilesOn(const QString &path)
{
    const std::string prefix = QFileInfo(path).canonicalFilePath().toStdString();
    int count = 0;
    DIR *fds = ::opendir("/proc/self/fd");
    if (!fds)
        return -1;
    while (const dirent *entry = ::readdir(fds)) {
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)).rfind(prefix, 0) == 0)
            ++count;
    }
    ::closedir(fds);
    return count;
}

// The desk closes and replaces its files as soon as Suspend returns: by then no request
// connection may be open on them, also when a request was being answered as Suspend began.
TEST_F(WebTest, SuspendReturnsOnlyOnceEveryRequestConnectionIsClosed)
{
    // A long page of many holders: the request connection has much to let go of.
    constexpr int Holders = 4000;
    {
        TTransaction staff(dsrc->src);
        for (int card = 1; card <= Holders; ++card)
            AddStaff(card, QStringLiteral("Holder %1").arg(card), 1);
        staff.Commit();
        TTransaction logs(dsrc->att);
        for (int card = 1; card <= Holders; ++card)
            AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)).addSecs(card), card);
        logs.Commit();
    }
    // Only the server's connections are left on the files.
    Data().CloseDatabases();
    const QString files[] = {Data().AttendPath(), Data().SysdatPath()};
    const auto openOnFiles = [&files] { return openFilesOn(files[0]) + openFilesOn(files[1]); };
    ASSERT_EQ(openOnFiles(), 0);
    const int port = m_web->Port();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::thread request([port] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(10, 0);
            client.Get("/logs?4000");
        });
        // Once the request holds its connection, while its page is being made.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (openOnFiles() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        m_web->Suspend();
        const int open = openOnFiles();
        m_web->Resume();
        request.join();
        ASSERT_EQ(open, 0);
    }
    Data().ReopenDatabases();
}

// Each request connection opened and closed beside the desk's own must leave the desk's locks
// on both files; an outside reader then finds the desk still there and leaves its logs alone.
TEST_F(WebTest, ServingPagesLeavesTheDeskItsLocks)
{
    AddStaff(7, QStringLiteral("Ann"), AddGroup(QStringLiteral("Day")));
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 7);
    for (const char *target : {"/logs", "/today?5", "/person?Ann", "/person?7&3"})
        EXPECT_EQ(rowsOf(get(target)).size(), 1) << target;
    m_web->Stop(); // its pooled connections closed too
    struct Case
    {
        QString path;
        const char *count;
        std::function<void()> write;
    };
    const Case cases[] = {
        {Data().AttendPath(), "SELECT COUNT(*) FROM recorder",
         [&] { AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 1)), 7); }},
        {Data().SysdatPath(), "SELECT COUNT(*) FROM staffs",
         [&] { AddStaff(8, QStringLiteral("Bea"), 1); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_TRUE(ThisProcessLocks(c.path));
        const QString sql = QString::fromLatin1(c.count);
        const QString before = OutsideQuery(c.path, sql);
        ASSERT_FALSE(before.isNull());
        EXPECT_TRUE(QFile::exists(c.path + QStringLiteral("-wal")));
        c.write();
        EXPECT_EQ(OutsideQuery(c.path, sql).toStdString(), std::to_string(before.toInt() + 1));
    }
}

} // namespace

namespace {

TEST(WebQueryTest, PositionalItems)
{
    struct Case
    {
        const char *name;
        std::string query;
        QStringList items;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"one", "5", {QStringLiteral("5")}},
        {"two", "30&100", {QStringLiteral("30"), QStringLiteral("100")}},
        {"trailing amp adds none", "5&", {QStringLiteral("5")}},
        {"leading amp", "&5", {QString(), QStringLiteral("5")}},
        {"name=value stays whole", "n=5", {QStringLiteral("n=5")}},
        {"percent and plus", "Ann%20Lee+Jr%26", {QStringLiteral("Ann Lee Jr&")}},
        {"stray percent", "%zz%4", {QStringLiteral("%zz%4")}},
        {"utf-8", "Jos%C3%A9", {QStringLiteral("Jos\u00e9")}},
        {"invalid utf-8", "%FF", {QString(QChar(0xFFFD))}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWebReportPage::SplitQuery(c.query), c.items) << c.name;
}

} // namespace

namespace {

// What the library is given of a request head, and whether the connection can carry another.
TEST(WebHeadTest, HeadForTheLibrary)
{
    struct Case
    {
        const char *name;
        std::string head;
        std::string forLibrary;
        std::string target;
        bool last;
    };
    const std::string longPath = "/" + std::string(5000, 'p');
    const Case cases[] = {
        {"query cut from the target", "GET /logs?5&6 HTTP/1.1\r\nHost: a\r\n\r\n",
         "GET /logs HTTP/1.1\r\nHost: a\r\n\r\n", "/logs?5&6", false},
        {"ranges taken out", "GET / HTTP/1.1\r\nrange: bytes=0-1\r\nRANGE : bytes=2-\r\nX: 1\r\n\r\n",
         "GET / HTTP/1.1\r\nX: 1\r\n\r\n", "/", false},
        {"empty body", "GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
         "GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "/", false},
        {"a body follows", "POST /logs HTTP/1.1\r\ncontent-length: 12\r\n\r\n",
         "POST /logs HTTP/1.1\r\ncontent-length: 12\r\n\r\n", "/logs", true},
        {"a chunked body follows", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", "/", true},
        {"no request line", "GARBAGE\r\n\r\n", "GARBAGE\r\n\r\n", "", true},
        {"a path longer than the library takes", "GET " + longPath + "?1 HTTP/1.1\r\n\r\n",
         "GET / HTTP/1.1\r\n\r\n", longPath + "?1", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string target;
        bool last = !c.last;
        EXPECT_EQ(TWebServer::HeadForLibrary(c.head, &target, &last), c.forLibrary);
        EXPECT_EQ(target, c.target);
        EXPECT_EQ(last, c.last);
    }
}

} // namespace

namespace {

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A client waiting while the process has no descriptor left: the accept loop waits for files
// to come free instead of spinning, and the client is served once they do.
TEST_F(WebTest, OutOfDescriptorsTheAcceptLoopWaitsAndServesAfterwards)
{
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(8, 0)), 1);
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(client, 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = std::min<rlim_t>(256, saved.rlim_cur);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        filler.push_back(fd);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(m_web->Port()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(client, reinterpret_cast<sockaddr *>(&addr), sizeof addr); // completes in the backlog
    const double before = cpuSeconds();
    std::this_thread::sleep_for(1s);
    const double spent = cpuSeconds() - before;
    for (const int fd : filler)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_LT(spent, 0.1) << "CPU seconds while out of descriptors";

    const std::string request = "GET /logs HTTP/1.1\r\nHost: desk\r\nConnection: close\r\n\r\n";
    pollfd p{client, POLLOUT, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    ASSERT_EQ(::send(client, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    const std::string reply = readToClose(client);
    ::close(client);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply.substr(0, 80);
    EXPECT_NE(reply.find("[1 record(s)]<br>"), std::string::npos);
}

} // namespace
