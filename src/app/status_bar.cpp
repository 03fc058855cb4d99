#include "app/status_bar.h"

#include <QCheckBox>
#include <QFrame>
#include <QMenu>
#include <QPushButton>

#include "app/language.h"
#include "app/ribbon_texts.h"

namespace v36 {

CMyMFCRibbonStatusBarPane::CMyMFCRibbonStatusBarPane(int id, const QString& text,
                                                     int reservedBlanks, Qt::Alignment alignment,
                                                     QWidget* parent)
    : QLabel(text, parent) {
    setControlId(this, id);
    setTextFormat(Qt::PlainText);
    setAlignment(alignment | Qt::AlignVCenter);
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(reservedBlanks, QLatin1Char(' '))));
    setTextColor(QColor(255, 0, 0));
}

void CMyMFCRibbonStatusBarPane::setTextColor(const QColor& colour) {
    colour_ = colour;
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    setPalette(palette);
}

CMFCMyRibbonStatusBar::CMFCMyRibbonStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    auto add = [this](int id, const char* text, int blanks, Qt::Alignment alignment) {
        auto* pane =
            new CMyMFCRibbonStatusBarPane(id, QString::fromUtf8(text), blanks, alignment, this);
        panes_.insert(id, pane);
        addWidget(pane);
        return pane;
    };
    add(id::kPaneUsb, "USB:未连接", 52, Qt::AlignLeft);
    unitChooser_ = new QPushButton(this);
    unitChooser_->setObjectName(QStringLiteral("unitChooser"));
    unitChooser_->setFlat(true);
    unitChooser_->setFocusPolicy(Qt::NoFocus);
    unitChooser_->setMenu(new QMenu(unitChooser_));
    unitChooser_->hide();
    addWidget(unitChooser_);
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    addWidget(separator);
    add(id::kPaneMode, "当前模式：模式一", 97, Qt::AlignHCenter)
        ->setTextColor(palette().color(QPalette::WindowText));
    // The empty pane gives way first when the window is narrow.
    CMyMFCRibbonStatusBarPane* empty = add(id::kPaneEmpty, "", 97, Qt::AlignHCenter);
    empty->setMinimumWidth(0);
    empty->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    bypass_ = new QCheckBox(QString::fromUtf8("均衡旁路"), this);
    setControlId(bypass_, id::kEqBypass);
    bypass_->setFocusPolicy(Qt::NoFocus);
    connect(bypass_, &QCheckBox::clicked, this, [this] { emit command(id::kEqBypass); });
    addPermanentWidget(bypass_);
    reset_ = new QPushButton(QString::fromUtf8("重置均衡"), this);
    setControlId(reset_, id::kEqReset);
    reset_->setFocusPolicy(Qt::NoFocus);
    reset_->setFlat(true);
    connect(reset_, &QPushButton::clicked, this, [this] { emit command(id::kEqReset); });
    addPermanentWidget(reset_);
}

}  // namespace v36
