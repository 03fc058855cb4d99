#pragma once

#include <QDialog>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "phone/phone_hub.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace v36 {

class CKorvelv13App;
namespace phone {
class PhoneServer;
}

// The desktop's editor for the phones: every phone edit goes through the
// edit path as one undo step per gesture (the ribbon's and the EQ editor's
// merge keys), and the window's page, dialogs and ribbon reload.
class DesktopPhoneEditor : public phone::PhoneEditor {
  public:
    explicit DesktopPhoneEditor(CKorvelv13App& app);
    void apply(Edit edit, bool end) override;
    void endGesture() override;
    std::string recallMode(int mode) override;
    bool unitAttached() const override;

  private:
    void refreshSoon();

    CKorvelv13App& app_;
    // Many messages of one drag reload the window once.
    QTimer refresh_;
};

// The QR code of a text, drawn module by module, sharp at any scale.
class CQrCodeView : public QWidget {
  public:
    explicit CQrCodeView(QWidget* parent = nullptr);
    void setText(const QString& text);
    QSize sizeHint() const override { return {232, 232}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<std::vector<bool>> modules_;
};

// The "Room remote" window: the address with its QR code, the pairing
// code, how many phones are connected, and the buttons that disconnect
// them and stop the remote. Closing it stops the remote: nothing listens
// unless this window is open.
class CRoomRemoteDlg : public QDialog {
    Q_OBJECT

  public:
    CRoomRemoteDlg(CKorvelv13App& app, phone::PhoneServer& server, QWidget* parent);
    void ApplyLanguage();
    // The server's address, code and phones as they stand now.
    void showState();

    QLabel* addressLabel() const { return address_; }
    QComboBox* listenBox() const { return listen_; }
    QLabel* codeLabel() const { return code_; }
    QLabel* phonesLabel() const { return phones_; }
    QPushButton* disconnectButton() const { return disconnect_; }
    QPushButton* stopButton() const { return stop_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  signals:
    void stopRequested();
    // The user chose where the remote listens.
    void listenChosen(const QHostAddress& address);

  private:
    // Every address of this machine, every address at once and this
    // computer alone; the one listened on selected.
    void fillListenBox();

    CKorvelv13App& app_;
    phone::PhoneServer& server_;
    QLabel* listenCaption_ = nullptr;
    QComboBox* listen_ = nullptr;
    CQrCodeView* qr_ = nullptr;
    QLabel* addressCaption_ = nullptr;
    QLabel* address_ = nullptr;
    QLabel* codeCaption_ = nullptr;
    QLabel* code_ = nullptr;
    QLabel* phones_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    QPushButton* stop_ = nullptr;
};

// The room remote of the desktop: off until the command starts it, then the
// server and its window until the window closes.
class CRoomRemote : public QObject {
    Q_OBJECT

  public:
    explicit CRoomRemote(CKorvelv13App& app);
    ~CRoomRemote() override;

    // The command: starts the server (when it is not running) and shows its
    // window. Options for tests; otherwise the default port, the address
    // chosen last (every address at first) and a new code.
    bool start();
    bool start(const QHostAddress& listen, quint16 port);
    // Listens on `address` from now on (the phones must pair again); back
    // on the address before when it cannot. Remembered for the next start.
    bool listenOn(const QHostAddress& address);
    // Where start() listens: the address chosen last, every address at first.
    QHostAddress savedListenAddress() const;
    void stop();
    bool running() const;
    phone::PhoneServer& server() { return *server_; }
    CRoomRemoteDlg* dialog() const { return dialog_.data(); }
    void ApplyLanguage();

  private:
    CKorvelv13App& app_;
    DesktopPhoneEditor editor_;
    std::unique_ptr<phone::PhoneServer> server_;
    QPointer<CRoomRemoteDlg> dialog_;
    quint16 port_ = 0;  // as asked (0: any free port)
};

}  // namespace v36
