#include "app/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcessEnvironment>

namespace v36 {

namespace {
constexpr int kAnswerMs = 2000;
const char kAcknowledge = '!';
}  // namespace

QString SingleInstance::nameFor(const QString& user, const QString& display) {
    QString name = QStringLiteral("DWX-10-") + user;
    if (!display.isEmpty()) name += QLatin1Char('-') + display;
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return name;
}

QString SingleInstance::defaultName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    // The display the window appears on: X11, else Wayland, else the
    // Windows session.
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("SESSIONNAME");
    return nameFor(user, display);
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::start(const QString& file) {
    // Another instance listening? Hand the file over and wait for its answer.
    {
        QLocalSocket socket;
        socket.connectToServer(name_);
        if (socket.waitForConnected(kAnswerMs)) {
            socket.write(file.toUtf8() + '\n');
            socket.flush();
            socket.waitForBytesWritten(kAnswerMs);
            if (socket.waitForReadyRead(kAnswerMs) && socket.read(1).startsWith(kAcknowledge)) {
                return Outcome::Handed;
            }
            return Outcome::NoMainWindow;
        }
    }
    // None: become the instance. A socket left behind by a crashed instance
    // is removed first (nobody answered on it).
    QLocalServer::removeServer(name_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) return Outcome::ServerFailed;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    return Outcome::First;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) return;
            QByteArray line = socket->readLine();
            if (line.endsWith('\n')) line.chop(1);
            const QString file = QString::fromUtf8(line);
            socket->write(&kAcknowledge, 1);
            socket->flush();
            emit activated(file);
        });
    }
}

}  // namespace v36
