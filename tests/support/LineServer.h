#pragma once

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A line-oriented TCP server on 127.0.0.1 at a port the system picks, for clients of text protocols such as whois.
// It serves its connections one after another on a thread of its own with the test's script, so it keeps answering
// while the test's thread sits in a blocking connect or an event loop.
class LineServer {
public:
    class Connection {
    public:
        // Everything through the first LF; what arrived before the client closed or the time ran out otherwise.
        QByteArray readLine(int timeoutMs = 5000);
        bool send(const QByteArray& bytes); // false once the client has gone
        // Sends `line` over and over until `bytes` went out or the client went; returns the bytes sent.
        qint64 flood(qint64 bytes, const QByteArray& line);
        bool waitForData(int timeoutMs = 5000);        // true once there is something to read (or the client went)
        bool waitForClientClose(int timeoutMs = 5000); // true once the client closed or reset the connection
        bool waitForGate(int timeoutMs = 5000);        // true once the test opened the gate (each opening lets one by)
        void resetNow();                               // ends the connection at once with a reset

    private:
        friend class LineServer;
        Connection(LineServer& server, int fd) : m_server(server), m_fd(fd) {}
        bool waitFor(short events, int timeoutMs);

        LineServer& m_server;
        int m_fd;
    };
    using Script = std::function<void(Connection& connection, int index)>;

    explicit LineServer(Script script, int connections = 1);
    ~LineServer();

    quint16 port() const { return m_port; }
    void openGate();
    bool finished() const { return m_finished.load(std::memory_order_acquire); } // every connection was served

    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;

private:
    void run(int connections);

    Script m_script;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::mutex m_gateMutex;
    std::condition_variable m_gateOpened;
    int m_gateOpenings = 0;
    std::thread m_thread;
};

// A port on 127.0.0.1 that is bound but not listening: a connect is refused, and nobody else can take the port while
// the object lives.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    quint16 port() const { return m_port; }

    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

private:
    int m_fd = -1;
    quint16 m_port = 0;
};
