#pragma once
// The web report's HTTP server: cpp-httplib's request parsing and replies, with the connections
// held by one waiting thread instead of a worker each. That thread reads every request head
// whole, within a size and a time limit, before the library sees it, and hands only complete
// heads to the workers: idle, slow or endless clients cost a socket, never a worker or memory
// beyond the limit. Every connection it holds, waiting, queued for a worker or being answered,
// counts against one bound (at most half the descriptors the process may open), so a flood of
// clients never takes the files the rest of the desk needs. Its threads run on the time the
// desk leaves over. Built and stopped from one owning thread, listened on from one thread of
// its own (Listen); the route handlers run on the worker threads.

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

class TWebServer : public httplib::Server
{
public:
    struct Limits
    {
        std::size_t workers = 16;
        // Connections held in all, waiting, queued or being answered; never more than half the
        // process's descriptors. Past it the waiting one quiet the longest is closed for the
        // newcomer, and when none waits the newcomer is answered 503 and closed at once.
        std::size_t maxConnections = 512;
        // Descriptors that the handlers keep open besides the connections (their database
        // files): they count against the same half.
        std::size_t reservedFiles = 0;
        // Complete requests waiting for a worker; the rest wait with their connection.
        std::size_t maxQueued = 64;
        // Request line and headers together.
        std::size_t maxHeadBytes = 32 * 1024;
        // A connection's first request head must be complete this soon after the connect, and
        // each later one this soon after the previous answer.
        std::chrono::milliseconds firstHeadTimeout{3000};
        std::chrono::milliseconds keepAliveTimeout{5000};
        // Each write waits at most this long for the client to take more.
        std::chrono::milliseconds writeTimeout{3000};
        std::size_t keepAliveRequests = 1000;
    };

    explicit TWebServer(const Limits &limits);
    ~TWebServer() override;
    TWebServer(const TWebServer &) = delete;
    TWebServer &operator=(const TWebServer &) = delete;

    // After bind_to_port: lets a burst of connects wait for the accept loop, instead of
    // the library's five (those beyond would wait a second for the client's retry).
    void WidenBacklog();

    // The accept loop, after bind_to_port: runs until Stop. When the process is out of
    // descriptors it waits a moment before it accepts again instead of spinning.
    void Listen();
    // From any thread: ends Listen soon.
    void Stop();
    bool IsRunning() const;

    // Closes the listening socket and every connection and joins the waiting thread and the
    // workers (a request being answered is finished first). Call after Listen has returned;
    // the destructor calls it too.
    void Shutdown();

    // The connections the server holds now, and the most it ever holds. Any thread.
    std::size_t HeldConnections() const;
    std::size_t ConnectionBound() const;

    // The head the library is given for a raw one (request line and headers, ending with the
    // blank line): the target cut to its path, because the library refuses request lines
    // longer than it can take, and byte ranges taken out, because a page is always sent whole.
    // *target receives the whole target; *last tells whether the connection can carry no
    // request after this one: a body follows (it is not read), or the request line is none.
    static std::string HeadForLibrary(const std::string &head, std::string *target, bool *last);

private:
    struct Impl;
    friend struct Impl;

    bool process_and_close_socket(socket_t sock) override;
    bool serve(httplib::Stream &stream, bool closeConnection, bool &connectionClosed,
               const std::string &target);

    std::unique_ptr<Impl> m_impl;
};
