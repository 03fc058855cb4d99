#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QTimer;

namespace v36 {

// The synchronisation dialog (template 347): window-modal while the unit and
// the store are synchronised. A bar shows the progress (busy until the
// number of reports is known); only the shell (end()) and the time-out end
// it, and it goes once ended.
class CSynDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 347;
    static constexpr int kProgressId = 1217;
    static constexpr int kTextId = 1218;
    static constexpr int kDefaultTimeoutMs = 30000;

    CSynDlg(const QString& text, int languageIndex, int timeoutMs, QWidget* parent);

    // Ends the dialog (kills the time-out first).
    void end();
    bool timedOut() const { return timedOut_; }
    QString text() const;
    // Reports done of total; total 0 keeps the busy bar.
    void setProgress(int done, int total);
    int progressValue() const;
    int progressMaximum() const;

    void reject() override;  // Escape does nothing
    void accept() override;  // Enter does nothing

  signals:
    // The sync did not finish in time.
    void timedOutSignal();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QProgressBar* bar_ = nullptr;
    QLabel* label_ = nullptr;
    QTimer* timeout_ = nullptr;
    bool timedOut_ = false;
};

}  // namespace v36
