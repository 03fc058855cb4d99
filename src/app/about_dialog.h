#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace v36 {

class CAppServices;

// The about dialog (template 100). While connected it shows the unit's
// versions; the module line and the "Peak" box (the level poll) appear
// when F11 is released while Ctrl and Shift are held.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 100;

    explicit CAboutDlg(CAppServices& app, QWidget* parent);
    bool revealed() const;

  protected:
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    CAppServices& app_;
    QLabel* module_ = nullptr;
    QCheckBox* peak_ = nullptr;
};

}  // namespace v36
