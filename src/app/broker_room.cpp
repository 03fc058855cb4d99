#include "app/broker_room.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/app.h"
#include "app/language.h"
#include "app/main_frame.h"
#include "context/device_context.h"
#include "mqtt/room_bridge.h"

namespace v36 {

namespace {

const QString kAddressKey = QStringLiteral("Broker/Address");
const QString kRoomKey = QStringLiteral("Broker/Room");

}  // namespace

// --- CBrokerRoomDlg ------------------------------------------------------------------

CBrokerRoomDlg::CBrokerRoomDlg(CKorvelv13App& app, CBrokerRoom& room, QWidget* parent)
    : QDialog(parent), app_(app), owner_(room) {
    setObjectName(QStringLiteral("brokerRoomDialog"));
    auto* grid = new QGridLayout;
    addressCaption_ = new QLabel(this);
    address_ = new QLineEdit(this);
    address_->setPlaceholderText(QStringLiteral("mqtt://venue-server"));
    address_->setMinimumWidth(280);
    roomCaption_ = new QLabel(this);
    room_ = new QLineEdit(this);
    room_->setPlaceholderText(QStringLiteral("room12"));
    room_->setMaxLength(64);
    passwordCaption_ = new QLabel(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    grid->addWidget(addressCaption_, 0, 0);
    grid->addWidget(address_, 0, 1);
    grid->addWidget(roomCaption_, 1, 0);
    grid->addWidget(room_, 1, 1);
    grid->addWidget(passwordCaption_, 2, 0);
    grid->addWidget(password_, 2, 1);

    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("brokerState"));
    state_->setWordWrap(true);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    join_ = new QPushButton(this);
    leave_ = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(join_);
    buttons->addWidget(leave_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(state_);
    layout->addWidget(hint_);
    layout->addLayout(buttons);

    const QSettings& settings = app_.settings();
    address_->setText(settings.value(kAddressKey).toString());
    room_->setText(settings.value(kRoomKey).toString());

    connect(join_, &QPushButton::clicked, this, [this] {
        QString why;
        if (!owner_.join(address_->text().trimmed(), room_->text().trimmed(), password_->text(),
                         &why))
            state_->setText(why);
        else
            showState();
    });
    connect(leave_, &QPushButton::clicked, this, [this] { owner_.leave(); });
    connect(&owner_, &CBrokerRoom::stateChanged, this, &CBrokerRoomDlg::showState);
    ApplyLanguage();
}

void CBrokerRoomDlg::ApplyLanguage() {
    const int lang = app_.languageIndex();
    setWindowTitle(pick(lang, "MQTT 服务器", "Broker"));
    addressCaption_->setText(pick(lang, "服务器地址：", "Broker address:"));
    roomCaption_->setText(pick(lang, "房间名称：", "Room name:"));
    passwordCaption_->setText(pick(lang, "密码：", "Password:"));
    hint_->setText(pick(lang,
                        "本机连接的设备作为一个房间加入 MQTT 服务器：服务器上的修改与本窗口的修改"
                        "一样可以撤销。",
                        "The unit of this window joins the MQTT broker as a room: edits from the "
                        "broker can be undone like the window's own."));
    join_->setText(pick(lang, "加入", "Join"));
    leave_->setText(pick(lang, "离开", "Leave"));
    showState();
}

void CBrokerRoomDlg::showState() {
    const int lang = app_.languageIndex();
    const bool joined = owner_.joined();
    join_->setEnabled(!joined);
    leave_->setEnabled(joined);
    address_->setEnabled(!joined);
    room_->setEnabled(!joined);
    password_->setEnabled(!joined);
    if (!joined) {
        state_->setText(pick(lang, "未加入。", "Not joined."));
    } else if (owner_.connected()) {
        state_->setText(pick(lang, "已作为房间 %1 连接到服务器。", "On the broker as room %1.")
                            .arg(owner_.room()));
    } else {
        state_->setText(
            pick(lang, "正在连接服务器（房间 %1）……", "Connecting to the broker (room %1)…")
                .arg(owner_.room()));
    }
}

// --- CBrokerRoom ---------------------------------------------------------------------

CBrokerRoom::CBrokerRoom(CKorvelv13App& app) : app_(app), editor_(app) {
    watch_.setInterval(500);
    connect(&watch_, &QTimer::timeout, this, [this] {
        const bool now = connected();
        if (now != wasConnected_) {
            wasConnected_ = now;
            emit stateChanged();
        }
    });
}

CBrokerRoom::~CBrokerRoom() {
    leave();
}

bool CBrokerRoom::connected() const {
    return bridge_ && bridge_->connected();
}

void CBrokerRoom::showDialog() {
    if (!dialog_) {
        QWidget* parent = app_.mainFrame();
        dialog_ = new CBrokerRoomDlg(app_, *this, parent);
        dialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

bool CBrokerRoom::join(const QString& url, const QString& room, const QString& password,
                       QString* why) {
    const int lang = app_.languageIndex();
    std::string reason;
    auto broker = mqtt::parseBrokerUrl(url.toStdString(), reason);
    if (!broker) {
        if (why != nullptr)
            *why = pick(lang, "地址应为 mqtt://主机[:端口] 或 mqtts://……",
                        "The address is mqtt://host[:port] or mqtts://…") +
                   QStringLiteral(" (") + QString::fromStdString(reason) + QStringLiteral(")");
        return false;
    }
    if (!mqtt::isRoomName(room.toStdString())) {
        if (why != nullptr)
            *why = pick(lang, "房间名称只能包含字母、数字、- 和 _，最多 64 个字符。",
                        "A room's name is letters, digits, - and _, at most 64.");
        return false;
    }
    leave();
    broker->password = password.toStdString();
    if (broker->password.empty()) {
        if (const char* env = std::getenv("V36_MQTT_PASSWORD")) broker->password = env;
    }
    mqtt::RoomOptions options;
    options.room = room.toStdString();
    const UnitList units = app_.device().backend().listUnits(app_.device().trace);
    if (!units.units.empty()) options.serial = units.units.front().serial;
    mqtt::RoomHooks hooks;
    // Edits from the broker run on the window's thread, one undo step each.
    hooks.run = [this](std::function<void()> job) {
        QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
    };
    hooks.apply = [this](Edit edit) { editor_.apply(std::move(edit), true); };
    hooks.recall = [this](int mode) { return editor_.recallMode(mode); };
    auto bridge = std::make_unique<mqtt::RoomBridge>(app_.device(), *broker, options, hooks);
    if (!bridge->start(reason)) {
        if (why != nullptr) *why = QString::fromStdString(reason);
        return false;
    }
    bridge_ = std::move(bridge);
    room_ = room;
    QSettings& settings = app_.settings();
    settings.setValue(kAddressKey, url);
    settings.setValue(kRoomKey, room);
    wasConnected_ = false;
    watch_.start();
    emit stateChanged();
    return true;
}

void CBrokerRoom::leave() {
    if (!bridge_) return;
    watch_.stop();
    bridge_->stop(false);
    bridge_.reset();
    wasConnected_ = false;
    emit stateChanged();
}

void CBrokerRoom::ApplyLanguage() {
    if (dialog_) dialog_->ApplyLanguage();
}

}  // namespace v36
