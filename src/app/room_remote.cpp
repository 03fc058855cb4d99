#include "app/room_remote.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app.h"
#include "app/language.h"
#include "app/main_frame.h"
#include "app/main_view.h"
#include "phone/phone_server.h"

namespace v36 {

namespace {

// The pairing code in two groups of three digits, easier to read out.
QString groupedCode(const QString& code) {
    return code.size() == 6 ? code.left(3) + QLatin1Char(' ') + code.mid(3) : code;
}

// An address as the settings and the address box keep it: "any" for every
// address at once (whose own text reads back as IPv6 alone).
QString addressText(const QHostAddress& address) {
    return address == QHostAddress(QHostAddress::Any) &&
                   address.protocol() == QAbstractSocket::AnyIPProtocol
               ? QStringLiteral("any")
               : address.toString();
}

QHostAddress addressFrom(const QString& text) {
    const QHostAddress address(text);
    return address.isNull() ? QHostAddress(QHostAddress::Any) : address;
}

}  // namespace

// --- DesktopPhoneEditor ------------------------------------------------------------

DesktopPhoneEditor::DesktopPhoneEditor(CKorvelv13App& app) : app_(app) {
    refresh_.setSingleShot(true);
    refresh_.setInterval(30);
    QObject::connect(&refresh_, &QTimer::timeout, &app_, [this] { app_.refreshFromStore(); });
}

void DesktopPhoneEditor::refreshSoon() {
    if (!refresh_.isActive()) refresh_.start();
}

void DesktopPhoneEditor::apply(Edit edit, bool end) {
    app_.edits().apply(std::move(edit));
    if (end) app_.edits().endGesture();
    refreshSoon();
}

bool DesktopPhoneEditor::unitAttached() const {
    return app_.isConnected();
}

void DesktopPhoneEditor::endGesture() {
    app_.edits().endGesture();
}

std::string DesktopPhoneEditor::recallMode(int mode) {
    if (!app_.isConnected()) return "no unit is connected";
    // The phone asked its user already; the recall and its pull run once the
    // phone's message has been handled.
    QTimer::singleShot(0, &app_, [this, mode] {
        if (CKorvelv13View* v = app_.view()) v->OnRecallMode(mode, false);
    });
    return {};
}

// --- CQrCodeView -----------------------------------------------------------------------

CQrCodeView::CQrCodeView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(sizeHint());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CQrCodeView::setText(const QString& text) {
    modules_ = phone::qrModules(text);
    update();
}

void CQrCodeView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int n = static_cast<int>(modules_.size());
    if (n == 0) return;
    // Whole device pixels per module, with a quiet zone of four modules.
    const qreal dpr = devicePixelRatioF();
    const int side = std::min(width(), height());
    const qreal module = std::floor(side * dpr / (n + 8)) / dpr;
    const qreal origin = (side - module * n) / 2.0;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            if (modules_[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)])
                p.drawRect(QRectF(origin + x * module, origin + y * module, module, module));
}

// --- CRoomRemoteDlg ----------------------------------------------------------------------

CRoomRemoteDlg::CRoomRemoteDlg(CKorvelv13App& app, phone::PhoneServer& server, QWidget* parent)
    : QDialog(parent), app_(app), server_(server) {
    setModal(false);
    listenCaption_ = new QLabel(this);
    listen_ = new QComboBox(this);
    listen_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    qr_ = new CQrCodeView(this);
    addressCaption_ = new QLabel(this);
    address_ = new QLabel(this);
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = address_->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    big.setBold(true);
    address_->setFont(big);
    codeCaption_ = new QLabel(this);
    code_ = new QLabel(this);
    QFont huge = code_->font();
    huge.setPointSizeF(huge.pointSizeF() * 2.4);
    huge.setBold(true);
    huge.setLetterSpacing(QFont::PercentageSpacing, 110);
    code_->setFont(huge);
    code_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    phones_ = new QLabel(this);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    disconnect_ = new QPushButton(this);
    stop_ = new QPushButton(this);

    auto* info = new QVBoxLayout;
    info->addWidget(addressCaption_);
    info->addWidget(address_);
    info->addSpacing(10);
    info->addWidget(codeCaption_);
    info->addWidget(code_);
    info->addSpacing(10);
    info->addWidget(phones_);
    info->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(qr_, 0, Qt::AlignTop);
    top->addSpacing(16);
    top->addLayout(info, 1);
    auto* listenRow = new QHBoxLayout;
    listenRow->addWidget(listenCaption_);
    listenRow->addWidget(listen_);
    listenRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(disconnect_);
    buttons->addWidget(stop_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(listenRow);
    layout->addWidget(hint_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(disconnect_, &QPushButton::clicked, &server_, &phone::PhoneServer::disconnectPhones);
    connect(stop_, &QPushButton::clicked, this, &CRoomRemoteDlg::close);
    connect(&server_, &phone::PhoneServer::phonesChanged, this, &CRoomRemoteDlg::showState);
    connect(&server_, &phone::PhoneServer::pairCodeChanged, this, &CRoomRemoteDlg::showState);
    connect(listen_, &QComboBox::activated, this, [this](int index) {
        const QHostAddress chosen = addressFrom(listen_->itemData(index).toString());
        if (addressText(chosen) != addressText(server_.listenAddress())) emit listenChosen(chosen);
    });
    ApplyLanguage();
}

void CRoomRemoteDlg::fillListenBox() {
    const int lang = app_.languageIndex();
    const QSignalBlocker quiet(listen_);
    listen_->clear();
    const auto add = [this](const QString& text, const QHostAddress& address) {
        listen_->addItem(text, addressText(address));
    };
    add(pick(lang, "所有地址（IPv4 与 IPv6）", "Every address (IPv4 and IPv6)"),
        QHostAddress(QHostAddress::Any));
    add(pick(lang, "所有 IPv4 地址", "Every IPv4 address"), QHostAddress(QHostAddress::AnyIPv4));
    for (const QHostAddress& a : phone::PhoneServer::localAddresses())
        add(a.toString(), a);
    add(pick(lang, "仅本电脑（127.0.0.1）", "This computer only (127.0.0.1)"),
        QHostAddress(QHostAddress::LocalHost));
    const QHostAddress now = server_.listenAddress();
    int at = listen_->findData(addressText(now));
    if (at < 0) {
        // An address this machine no longer lists: shown as it is.
        add(addressText(now), now);
        at = listen_->count() - 1;
    }
    listen_->setCurrentIndex(at);
}

void CRoomRemoteDlg::ApplyLanguage() {
    const int lang = app_.languageIndex();
    setWindowTitle(pick(lang, "遥控网页", "Room remote"));
    addressCaption_->setText(pick(lang, "用手机浏览器打开：", "Open on the phone:"));
    codeCaption_->setText(pick(lang, "配对码：", "Pairing code:"));
    hint_->setText(pick(lang,
                        "手机须与本电脑在同一局域网。手机上的每次修改都可在此撤销。"
                        "关闭本窗口即停止遥控网页。",
                        "The phone must be on this computer's local network. Every change "
                        "made on a phone can be undone here. Closing this window stops the "
                        "room remote."));
    disconnect_->setText(pick(lang, "断开手机", "Disconnect phones"));
    disconnect_->setToolTip(pick(lang, "断开所有手机并换一个新的配对码",
                                 "Disconnects every phone and makes a new pairing code"));
    stop_->setText(pick(lang, "停止", "Stop"));
    listenCaption_->setText(pick(lang, "监听：", "Listen on:"));
    listen_->setToolTip(pick(lang, "遥控网页接受连接的地址；更改后手机须重新配对",
                             "Where the room remote takes connections; after a change the "
                             "phones pair again"));
    showState();
}

void CRoomRemoteDlg::showState() {
    const int lang = app_.languageIndex();
    const QStringList addresses = server_.addresses();
    address_->setText(addresses.join(QLatin1Char('\n')));
    qr_->setText(addresses.value(0));
    code_->setText(groupedCode(server_.pairCode()));
    fillListenBox();
    const int count = server_.phoneCount();
    phones_->setText(pick(lang, "已连接的手机：%1", "Phones connected: %1").arg(count));
    disconnect_->setEnabled(count > 0);
}

void CRoomRemoteDlg::closeEvent(QCloseEvent* event) {
    emit stopRequested();
    QDialog::closeEvent(event);
}

// --- CRoomRemote ---------------------------------------------------------------------------

CRoomRemote::CRoomRemote(CKorvelv13App& app)
    : app_(app),
      editor_(app),
      server_(std::make_unique<phone::PhoneServer>(app.device().store, editor_)) {}

CRoomRemote::~CRoomRemote() {
    stop();
}

bool CRoomRemote::running() const {
    return server_->running();
}

namespace {

const QString kListenKey = QStringLiteral("RoomRemote/Listen");

}  // namespace

QHostAddress CRoomRemote::savedListenAddress() const {
    return addressFrom(app_.settings().value(kListenKey).toString());
}

bool CRoomRemote::start() {
    return start(savedListenAddress(), phone::kDefaultPort);
}

bool CRoomRemote::listenOn(const QHostAddress& address) {
    const QHostAddress before = server_->listenAddress();
    server_->stop();
    if (!start(address, port_)) {
        start(before, port_);
        return false;
    }
    app_.settings().setValue(kListenKey, addressText(address));
    return true;
}

bool CRoomRemote::start(const QHostAddress& listen, quint16 port) {
    port_ = port;
    if (!server_->running()) {
        phone::PhoneServer::Options options;
        options.listen = listen;
        options.port = port;
        QString why;
        if (!server_->start(options, &why)) {
            const int lang = app_.languageIndex();
            app_.messageBox(
                {QMessageBox::Warning, pick(lang, "遥控网页", "Room remote"),
                 pick(lang, "遥控网页无法启动：", "The room remote cannot start: ") + why});
            return false;
        }
    }
    if (!dialog_) {
        dialog_ = new CRoomRemoteDlg(app_, *server_, app_.mainFrame());
        dialog_->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog_, &CRoomRemoteDlg::stopRequested, this, [this] { server_->stop(); });
        connect(dialog_, &CRoomRemoteDlg::listenChosen, this,
                [this](const QHostAddress& address) { listenOn(address); });
    }
    dialog_->showState();
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    return true;
}

void CRoomRemote::stop() {
    server_->stop();
    if (dialog_) dialog_->close();
}

void CRoomRemote::ApplyLanguage() {
    if (dialog_) dialog_->ApplyLanguage();
}

}  // namespace v36
