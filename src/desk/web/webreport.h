#pragma once
// The web report: an HTML page of attendance log records for a request path and its
// positional parameters (TWebReportPage), and the HTTP server that answers GET requests with it
// (TWebReporter). The page builder runs on any thread with the connections it is given; the
// server is started, suspended and stopped from the main thread, and its request threads read
// the databases through read-only connections of their own, never through dsrc.

#include "store/utils.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class TDatabase;

// What pages built on the same two connections may share. Counting a long log costs far more
// than the rest of a page, so the log's row count is kept with the highest row id it covered:
// while no rows were deleted meanwhile, only the rows added after that one are counted. The
// holders' names and groups are kept while the system file is unchanged (SQLite's data version
// of that connection).
struct TWebReportCache
{
    qint64 logVersion = -1;
    qint64 logCount = 0;
    qint64 logMaxRowId = 0;
    quint64 logDeletions = 0;
    qint64 staffVersion = -1;
    QHash<int, TStaffRec> holders;
};

// One page. Texts from the databases are HTML-escaped; parameters are used only as whole
// numbers or as a name looked up through a bound query.
class TWebReportPage
{
public:
    static constexpr int DefaultRowLimit = 20;
    static constexpr int DefaultRefreshSeconds = 60;
    // Larger counts and refresh periods read as these.
    static constexpr int MaxRowLimit = 5000;
    static constexpr int MaxRefreshSeconds = 3600;

    // att: the attendance log; sys: the system database (staff and group names).
    // cache: kept by the caller with these two connections, or null for none.
    TWebReportPage(TDatabase &att, TDatabase &sys, TWebReportCache *cache = nullptr);

    // The page lines joined by CR LF, in UTF-8. now is the request's moment (today's range and
    // the date line). Raises EDatabaseError when a query cannot be run.
    std::string Build(const QString &document, const QStringList &params, const QString &title,
                  const QDateTime &now);

    // The positional items of a raw query string: split at "&", each percent-decoded ("+" as
    // a blank) and read as UTF-8; an empty query gives none, and a trailing "&" adds none.
    static QStringList SplitQuery(const std::string &query);

    // The card of the first staff row (by name) whose name begins with the text,
    // case-sensitive; 0 when none.
    int FindCardByName(const QString &name);

private:
    qint64 countRows(const QString &where, int card);
    QHash<int, TStaffRec> &cachedHolders();
    const TStaffRec &holder(int card, QHash<int, TStaffRec> &holders);

    TDatabase &m_att;
    TDatabase &m_sys;
    TWebReportCache *m_cache;
};

// The HTTP server. Start binds all local addresses and serves on threads of its own; Stop
// ends the server and joins every thread it started. Main thread only.
class TWebReporter
{
public:
    TWebReporter(QString attendPath, QString sysdatPath);
    ~TWebReporter();
    TWebReporter(const TWebReporter &) = delete;
    TWebReporter &operator=(const TWebReporter &) = delete;

    // Binds the port and starts serving. False with the reason in *error when the port cannot
    // be bound (taken, or below 1024 without privileges); nothing is left running then. A
    // running server is stopped first.
    bool Start(int port, QString *error = nullptr);
    // Stops serving and joins the threads; open connections end at once or within the
    // request time-outs. Safe to call when not running.
    void Stop() noexcept;
    bool IsRunning() const;
    // The port bound by the last successful Start (useful with port 0: any free port).
    int Port() const;

    // While suspended (the desk has closed its databases for maintenance) every request gets
    // "503 Service Unavailable" and the server's connections are closed; Suspend returns
    // once no request holds one any more.
    void Suspend();
    void Resume();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
