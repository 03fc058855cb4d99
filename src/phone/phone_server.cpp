#include "phone/phone_server.h"

#include <qrencode.h>

#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QWebSocket>

namespace v36::phone {

namespace {

// The page's files, served from the resources.
struct PageFile {
    const char* path;
    const char* resource;
    const char* mime;
};
constexpr PageFile kPageFiles[] = {
    {"/", ":/phone/index.html", "text/html; charset=utf-8"},
    {"/phone.css", ":/phone/phone.css", "text/css; charset=utf-8"},
    {"/phone.js", ":/phone/phone.js", "text/javascript; charset=utf-8"},
};

QByteArray readResource(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// An IPv4 peer on a dual-stack socket shows as ::ffff:a.b.c.d.
QString peerText(const QHostAddress& address) {
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : address.toString();
}

QString urlFor(const QHostAddress& address, quint16 port) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

}  // namespace

PhoneServer::PhoneServer(ParamStore& store, PhoneEditor& editor, QObject* parent)
    : QObject(parent), store_(store), editor_(editor), watcher_(store) {
    connect(&watcher_, &StoreWatcher::changed, this, &PhoneServer::pollNow);
    housekeeping_.setInterval(kHousekeepingMs);
    connect(&housekeeping_, &QTimer::timeout, this, &PhoneServer::pollNow);
}

PhoneServer::~PhoneServer() {
    stop();
}

bool PhoneServer::start(const Options& options, QString* error) {
    stop();
    const QString code =
        options.pairCode.isEmpty() ? QString::fromStdString(newPairCode()) : options.pairCode;
    if (!isPairCode(code.toStdString())) {
        if (error) *error = QStringLiteral("the pairing code is six digits");
        return false;
    }
    auto http = std::make_unique<QHttpServer>();
    for (const PageFile& f : kPageFiles) {
        const QByteArray body = readResource(f.resource);
        const QByteArray mime(f.mime);
        http->route(QString::fromLatin1(f.path),
                    [body, mime] { return QHttpServerResponse(mime, body); });
    }
    // Qt upgrades a WebSocket request only on a path whose route takes it and
    // answers nothing; a plain request there is told what the path is for.
    http->route(QStringLiteral("/ws"),
                [](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                    if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
                        return;
                    responder.write("the room remote's WebSocket\n", "text/plain",
                                    QHttpServerResponder::StatusCode::BadRequest);
                });
    http->afterRequest([](QHttpServerResponse&& response) {
        // The page is small and changes with the program: never cached, never
        // framed, its types taken as given.
        response.setHeader("Cache-Control", "no-store");
        response.setHeader("X-Content-Type-Options", "nosniff");
        response.setHeader("X-Frame-Options", "DENY");
        response.setHeader("Content-Security-Policy",
                           "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:");
        return std::move(response);
    });
    const quint16 port = http->listen(options.listen, options.port);
    if (port == 0) {
        if (error) {
            *error = QStringLiteral("cannot listen on %1 port %2")
                         .arg(options.listen.toString())
                         .arg(options.port);
            const auto servers = http->servers();
            if (!servers.isEmpty()) *error += QStringLiteral(": ") + servers[0]->errorString();
        }
        return false;
    }
    connect(http.get(), &QHttpServer::newWebSocketConnection, this, &PhoneServer::acceptSockets);
    http_ = std::move(http);
    listen_ = options.listen;
    port_ = port;
    hub_ = std::make_unique<PhoneHub>(store_, editor_, code.toStdString(), options.clock);
    lastCount_ = 0;
    housekeeping_.start();
    emit pairCodeChanged(code);
    return true;
}

void PhoneServer::stop() {
    if (!hub_) return;
    housekeeping_.stop();
    for (auto& [id, socket] : sockets_) {
        socket->disconnect(this);
        socket->close(static_cast<QWebSocketProtocol::CloseCode>(kCloseStopped),
                      QStringLiteral("the remote was stopped"));
        socket->deleteLater();
    }
    sockets_.clear();
    http_.reset();
    hub_.reset();
    port_ = 0;
    if (lastCount_ != 0) {
        lastCount_ = 0;
        emit phonesChanged(0);
    }
}

QString PhoneServer::pairCode() const {
    return hub_ ? QString::fromStdString(hub_->pairCode()) : QString();
}

QStringList PhoneServer::addresses() const {
    if (!hub_) return {};
    return urlsFor(listen_, port_, localAddresses());
}

QList<QHostAddress> PhoneServer::localAddresses() {
    QList<QHostAddress> v4;
    QList<QHostAddress> v6;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& e : i.addressEntries()) {
            const QHostAddress a = e.ip();
            if (a.isLoopback() || a.isLinkLocal()) continue;
            if (a.protocol() == QAbstractSocket::IPv4Protocol) v4 << a;
            if (a.protocol() == QAbstractSocket::IPv6Protocol) {
                QHostAddress global = a;
                global.setScopeId(QString());
                v6 << global;
            }
        }
    }
    return v4 + v6;
}

QStringList PhoneServer::urlsFor(const QHostAddress& listen, quint16 port,
                                 const QList<QHostAddress>& local) {
    const bool v4 = listen == QHostAddress::Any || listen == QHostAddress::AnyIPv4;
    const bool v6 = listen == QHostAddress::Any || listen == QHostAddress::AnyIPv6;
    if (!v4 && !v6) return {urlFor(listen, port)};
    QStringList out;
    for (const QHostAddress& a : local) {
        if (a.isLoopback() || a.isLinkLocal()) continue;
        if ((a.protocol() == QAbstractSocket::IPv4Protocol && v4) ||
            (a.protocol() == QAbstractSocket::IPv6Protocol && v6))
            out << urlFor(a, port);
    }
    if (out.isEmpty())
        out << urlFor(QHostAddress(v4 ? QHostAddress::LocalHost : QHostAddress::LocalHostIPv6),
                      port);
    return out;
}

void PhoneServer::acceptSockets() {
    while (http_ && http_->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> owned = http_->nextPendingWebSocketConnection();
        if (!owned) continue;
        QWebSocket* socket = owned.release();
        socket->setParent(this);
        if (socket->requestUrl().path() != QLatin1String("/ws")) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                          QStringLiteral("the remote answers at /ws"));
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(kHardMessageLimit);
        socket->setMaxAllowedIncomingFrameSize(kHardMessageLimit);
        Outbox out;
        const int id = hub_->open(peerText(socket->peerAddress()).toStdString(), out);
        sockets_[id] = socket;
        connect(socket, &QWebSocket::textMessageReceived, this, [this, id](const QString& text) {
            if (!hub_) return;
            Outbox reply;
            hub_->receive(id, text.toUtf8().toStdString(), reply);
            deliver(reply);
        });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, id](const QByteArray& bytes) {
                    if (!hub_) return;
                    Outbox reply;
                    hub_->receiveBinary(id, static_cast<std::size_t>(bytes.size()), reply);
                    deliver(reply);
                });
        connect(socket, &QWebSocket::disconnected, this, [this, id] { forget(id); });
        // A refusal (a locked-out address, no place left) goes once the
        // handshake has settled on both sides.
        if (!out.closes.empty() || !out.messages.empty())
            QTimer::singleShot(0, this, [this, out]() mutable { deliver(out); });
    }
}

void PhoneServer::forget(int id) {
    const auto it = sockets_.find(id);
    if (it == sockets_.end()) return;
    it->second->deleteLater();
    sockets_.erase(it);
    if (hub_) hub_->closed(id);
    const int count = phoneCount();
    if (count != lastCount_) {
        lastCount_ = count;
        emit phonesChanged(count);
    }
}

void PhoneServer::deliver(Outbox& out) {
    for (const Outbox::Message& m : out.messages) {
        const auto it = sockets_.find(m.connection);
        if (it != sockets_.end()) it->second->sendTextMessage(QString::fromStdString(m.text));
    }
    for (const Outbox::Close& c : out.closes) {
        const auto it = sockets_.find(c.connection);
        if (it == sockets_.end()) continue;
        it->second->close(static_cast<QWebSocketProtocol::CloseCode>(c.code),
                          QString::fromStdString(c.reason));
    }
    const int count = phoneCount();
    if (count != lastCount_) {
        lastCount_ = count;
        emit phonesChanged(count);
    }
}

void PhoneServer::pollNow() {
    if (!hub_) return;
    Outbox out;
    hub_->poll(out);
    deliver(out);
}

void PhoneServer::disconnectPhones() {
    if (!hub_) return;
    Outbox out;
    hub_->disconnectAll(newPairCode(), out);
    deliver(out);
    emit pairCodeChanged(pairCode());
}

std::vector<std::vector<bool>> qrModules(const QString& text) {
    std::vector<std::vector<bool>> rows;
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code) return rows;
    const int n = code->width;
    rows.assign(static_cast<std::size_t>(n), std::vector<bool>(static_cast<std::size_t>(n)));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                (code->data[y * n + x] & 1) != 0;
    QRcode_free(code);
    return rows;
}

QString qrText(const QString& text) {
    const auto rows = qrModules(text);
    if (rows.empty()) return {};
    constexpr int kQuiet = 2;
    const int n = static_cast<int>(rows.size());
    auto dark = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= n || y >= n) return false;
        return static_cast<bool>(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
    };
    // Light modules are drawn, dark ones left blank: a dark terminal shows
    // the code the way round a camera reads it.
    QString out;
    for (int y = -kQuiet; y < n + kQuiet; y += 2) {
        for (int x = -kQuiet; x < n + kQuiet; ++x) {
            const bool top = !dark(x, y);
            const bool bottom = !dark(x, y + 1);
            out += top && bottom ? QChar(0x2588)
                   : top         ? QChar(0x2580)
                   : bottom      ? QChar(0x2584)
                                 : QChar(' ');
        }
        out += QLatin1Char('\n');
    }
    return out;
}

}  // namespace v36::phone
