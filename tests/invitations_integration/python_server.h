#pragma once
// Python's HTTP server on 127.0.0.1 with an ephemeral port, started for one test and killed at its
// end. It reports every request it receives as a line on stdout; the test reads them in order.
#include "net/run_until.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace vistrel::testing {

struct TReceivedRequest {
    std::string path;
    std::string raw;
};

class PythonHttpServer {
public:
    explicit PythonHttpServer(const QStringList& extraArguments = {}) {
        process_.setProgram(QStringLiteral("/usr/bin/python3"));
        process_.setArguments(
            QStringList{QStringLiteral(VISTREL_SOURCE_DIR "/tests/invitations_integration/http_server.py")} +
            extraArguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        started_ = process_.waitForStarted(5000) && RunUntil([&] { return process_.canReadLine(); }, 10000);
        if (started_) port_ = process_.readLine().trimmed().toStdString();
    }
    ~PythonHttpServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    PythonHttpServer(const PythonHttpServer&) = delete;
    PythonHttpServer& operator=(const PythonHttpServer&) = delete;

    bool Started() const { return started_; }
    const std::string& Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + port_; }
    std::string Url(const std::string& path) const { return "http://" + Host() + path; }

    // The next request the server reported; empty path when none came within the bound.
    TReceivedRequest NextRequest(int boundMs = 5000) {
        if (!RunUntil([&] { return process_.canReadLine(); }, boundMs)) return {};
        QJsonObject line = QJsonDocument::fromJson(process_.readLine()).object();
        return {line.value(QStringLiteral("path")).toString().toStdString(),
                QByteArray::fromHex(line.value(QStringLiteral("raw")).toString().toLatin1()).toStdString()};
    }
    // Lets the server's pending output arrive; true when it reported no request.
    bool NoMoreRequests() {
        Drain();
        process_.waitForReadyRead(200);
        return !process_.canReadLine();
    }

private:
    QProcess process_;
    bool started_ = false;
    std::string port_;
};

} // namespace vistrel::testing
