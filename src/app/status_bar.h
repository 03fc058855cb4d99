#pragma once

#include <QColor>
#include <QHash>
#include <QLabel>
#include <QStatusBar>

class QCheckBox;
class QPushButton;

namespace v36 {

// A status-bar pane that draws its text in its own colour (red at first).
class CMyMFCRibbonStatusBarPane : public QLabel {
    Q_OBJECT

  public:
    CMyMFCRibbonStatusBarPane(int id, const QString& text, int reservedBlanks,
                              Qt::Alignment alignment, QWidget* parent);
    void setTextColor(const QColor& colour);
    QColor textColor() const { return colour_; }

  private:
    QColor colour_;
};

// The status bar: panes 120, 121 and 32923 on the left with the unit chooser
// (shown while several units are attached), the EQ bypass check box (1121)
// and the EQ reset button (1122) on the right.
class CMFCMyRibbonStatusBar : public QStatusBar {
    Q_OBJECT

  public:
    explicit CMFCMyRibbonStatusBar(QWidget* parent);

    CMyMFCRibbonStatusBarPane* pane(int id) const { return panes_.value(id); }
    QCheckBox* bypassCheck() const { return bypass_; }
    QPushButton* resetButton() const { return reset_; }
    // Which unit is open, with a menu of the attached units.
    QPushButton* unitChooser() const { return unitChooser_; }

  signals:
    void command(int id);

  private:
    QHash<int, CMyMFCRibbonStatusBarPane*> panes_;
    QCheckBox* bypass_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* unitChooser_ = nullptr;
};

}  // namespace v36
