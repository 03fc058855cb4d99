#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;
class QTimer;

namespace v36 {

// The self-closing notice (template 344): one line of text and a close
// button; it destroys itself when its time is up.
class CInfoDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 344;
    static constexpr int kTextId = 1223;

    explicit CInfoDlg(int languageIndex);
    // The caption and the button in the language (a notice that outlives a
    // language switch speaks the new one).
    void setLanguage(int languageIndex);
    // The window the notice appears centred on (the screen when none).
    void centreOn(QWidget* window) { anchor_ = window; }
    // Shows `text` and (re)starts the time.
    void showText(const QString& text, int milliseconds);
    QString text() const;

    void accept() override;  // Enter does nothing

  private:
    QLabel* label_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* timer_ = nullptr;
    QPointer<QWidget> anchor_;
};

}  // namespace v36
