#pragma once

#include "app/page.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace v36 {

class CGdipButton;

// Waits, modally, while the unit learns one remote key. The learned code
// arrives as a remote event: the dialog shows it ("%02X") and closes
// itself a second later. Giving up (button or Escape) while waiting lets
// the next report go without the unit's answer and stops the learning.
class CRemoteStudyDlg : public CToolDialog {
    Q_OBJECT

  public:
    static constexpr int kCloseDelayMs = 1000;

    CRemoteStudyDlg(int key, CAppServices& app, QWidget* parent);

    void OnRemoteEvent(int code) override;

    int key() const { return key_; }
    bool codeReceived() const { return received_; }
    QLineEdit* codeField() const { return code_; }
    CGdipButton* giveUpButton() const { return giveUp_; }
    CGdipButton* closeButton() const { return close_; }
    QLabel* closingNotice() const { return closing_; }
    QLabel* keyText() const { return keyText_; }

  public slots:
    void reject() override;

  private:
    void giveUp();

    int key_;
    bool received_ = false;
    QLabel* keyText_ = nullptr;
    QLineEdit* code_ = nullptr;
    QLabel* closing_ = nullptr;
    CGdipButton* giveUp_ = nullptr;
    CGdipButton* close_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace v36
