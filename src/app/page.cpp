#include "app/page.h"

#include <QPainter>
#include <QPalette>

namespace v36 {

int pageTemplate(PageKind kind) {
    switch (kind) {
        case PageKind::Music:
            return 313;
        case PageKind::Output:
            return 385;
        case PageKind::Effects:
            return 421;
        case PageKind::SoundField:
            return 334;
        case PageKind::Delay:
            return 333;
        case PageKind::Compressor:
            return 346;
    }
    return 0;
}

int toolDialogTemplate(ToolDialog kind) {
    switch (kind) {
        case ToolDialog::MachineSettings:
            return 335;
        case ToolDialog::NoiseGate:
            return 423;
        case ToolDialog::RemoteLearning:
            return 373;
        case ToolDialog::RemoteKeyLearning:
            return 372;
        case ToolDialog::AutoSub:
            return 410;
        case ToolDialog::MusicAgc:
            return 424;
    }
    return 0;
}

namespace {

void paintBackground(QWidget* w) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

}  // namespace

CEditorPage::CEditorPage(PageKind kind, CAppServices& app, QWidget* parent)
    : QWidget(parent), app_(app), kind_(kind) {
    setProperty(kTemplateIdProperty, pageTemplate(kind));
    paintBackground(this);
}

CEmptyPage::CEmptyPage(PageKind kind, int channel, CAppServices& app, QWidget* parent)
    : CEditorPage(kind, app, parent), channel_(channel) {}

void CEmptyPage::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
}

CToolDialog::CToolDialog(ToolDialog kind, CAppServices& app, QWidget* parent)
    : QDialog(parent), app_(app), kind_(kind) {
    setProperty(kTemplateIdProperty, toolDialogTemplate(kind));
    paintBackground(this);
}

}  // namespace v36
