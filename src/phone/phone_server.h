#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "phone/phone_hub.h"
#include "phone/store_watcher.h"

class QHttpServer;
class QWebSocket;

namespace v36::phone {

// The room remote's server: the phone page (HTML, CSS and JavaScript from
// the resources) over HTTP and the messages over one WebSocket at /ws, on
// one port. Runs on the thread that owns it (the GUI thread of the desktop,
// the main thread of `v36ctl serve`); nothing listens until start().
class PhoneServer : public QObject {
    Q_OBJECT

  public:
    struct Options {
        QHostAddress listen = QHostAddress::Any;
        quint16 port = kDefaultPort;  // 0: any free port
        QString pairCode;             // empty: a new random code
        PhoneHub::Clock clock;        // the lockout's clock (tests); steady otherwise
    };
    // Messages above this close the socket outright; above kMaxMessageBytes
    // they are refused with an error and the connection stays.
    static constexpr qint64 kHardMessageLimit = 1024 * 1024;
    // Pairing times and lockouts are looked at this often; the store's
    // changes reach the phones as they happen.
    static constexpr int kHousekeepingMs = 1000;

    PhoneServer(ParamStore& store, PhoneEditor& editor, QObject* parent = nullptr);
    ~PhoneServer() override;

    // Starts listening with a new pairing code (or the one given); false with
    // the reason when the port cannot be opened or the code is not six digits.
    bool start(const Options& options, QString* error = nullptr);
    // Closes every connection and stops listening.
    void stop();
    bool running() const { return hub_ != nullptr; }

    quint16 port() const { return port_; }
    QString pairCode() const;
    // The address listened on (QHostAddress::Any: every address).
    QHostAddress listenAddress() const { return listen_; }
    // The addresses a phone opens: "http://192.168.1.20:8036/" for each
    // address of this machine on a local network, IPv4 first (the loopback
    // address when there is none).
    QStringList addresses() const;
    // This machine's addresses on its networks: IPv4 first, then IPv6 (not
    // the link-local ones, which a browser cannot open); no loopback.
    static QList<QHostAddress> localAddresses();
    // The addresses a phone opens for a server on `listen` and `port`, with
    // `local` the machine's addresses.
    static QStringList urlsFor(const QHostAddress& listen, quint16 port,
                               const QList<QHostAddress>& local);
    int phoneCount() const { return hub_ ? hub_->pairedCount() : 0; }

    // Closes the phones' connections; the pairing code changes, so a phone
    // must pair again with the new code.
    void disconnectPhones();
    // Compares the store with what the phones were told now (every change
    // of the store does it).
    void pollNow();

  signals:
    // The number of paired phones or the pairing code changed.
    void phonesChanged(int count);
    void pairCodeChanged(const QString& code);

  private:
    void acceptSockets();
    void deliver(Outbox& out);
    void forget(int id);

    ParamStore& store_;
    PhoneEditor& editor_;
    std::unique_ptr<QHttpServer> http_;
    std::unique_ptr<PhoneHub> hub_;
    std::map<int, QWebSocket*> sockets_;
    QHostAddress listen_;
    quint16 port_ = 0;
    StoreWatcher watcher_;
    QTimer housekeeping_;
    int lastCount_ = 0;
};

// The modules of a QR code of `text` (true = dark), row by row; empty when
// the text does not fit.
std::vector<std::vector<bool>> qrModules(const QString& text);
// The QR code as text for a terminal: two rows of modules a line, in block
// characters, with a quiet zone.
QString qrText(const QString& text);

}  // namespace v36::phone
