#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/room_remote.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace v36 {

class CKorvelv13App;
namespace mqtt {
class RoomBridge;
}

class CBrokerRoom;

// The "Broker" window: the broker's address, the room's name, the password
// (never kept), Join and Leave, and whether the room is on the broker.
class CBrokerRoomDlg : public QDialog {
    Q_OBJECT

  public:
    CBrokerRoomDlg(CKorvelv13App& app, CBrokerRoom& room, QWidget* parent);
    void ApplyLanguage();
    // The room's state as it stands now.
    void showState();

    QLineEdit* addressEdit() const { return address_; }
    QLineEdit* roomEdit() const { return room_; }
    QLineEdit* passwordEdit() const { return password_; }
    QLabel* stateLabel() const { return state_; }
    QPushButton* joinButton() const { return join_; }
    QPushButton* leaveButton() const { return leave_; }

  private:
    CKorvelv13App& app_;
    CBrokerRoom& owner_;
    QLabel* addressCaption_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLabel* roomCaption_ = nullptr;
    QLineEdit* room_ = nullptr;
    QLabel* passwordCaption_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* state_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* join_ = nullptr;
    QPushButton* leave_ = nullptr;
};

// The window's unit as a room on an MQTT broker, as `v36ctl serve --mqtt`
// puts one: edits from the broker are undo steps of the window like a
// phone's. The address and the room are kept in the settings.
class CBrokerRoom : public QObject {
    Q_OBJECT

  public:
    explicit CBrokerRoom(CKorvelv13App& app);
    ~CBrokerRoom() override;

    // The command: shows the window.
    void showDialog();
    // Joins the broker at `url` as `room`; false with the reason in the
    // window's language.
    bool join(const QString& url, const QString& room, const QString& password, QString* why);
    void leave();
    bool joined() const { return bridge_ != nullptr; }
    bool connected() const;
    QString room() const { return room_; }
    CBrokerRoomDlg* dialog() const { return dialog_.data(); }
    void ApplyLanguage();

  signals:
    void stateChanged();

  private:
    CKorvelv13App& app_;
    DesktopPhoneEditor editor_;
    std::unique_ptr<mqtt::RoomBridge> bridge_;
    QString room_;
    QPointer<CBrokerRoomDlg> dialog_;
    QTimer watch_;
    bool wasConnected_ = false;
};

}  // namespace v36
