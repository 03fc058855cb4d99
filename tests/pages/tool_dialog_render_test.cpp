// The tool dialogs rendered in both languages for a person to look at, and
// checked for texts that do not fit.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <memory>

#include "app/page.h"
#include "pages/factories.h"
#include "pages/noise_gate_dlg.h"
#include "remote/remote_study_dlg.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

// Every visible text of `dialog` gets at least the room it asks for, and
// no text is left empty where the language file labels it.
void expectTextsFit(QWidget& dialog, const QString& name) {
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&dialog)) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->text().isEmpty()) continue;
            EXPECT_GE(label->width(), label->minimumSizeHint().width())
                << name.toStdString() << ": " << label->text().toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (button->text().isEmpty()) continue;
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
                << name.toStdString() << ": " << button->text().toStdString();
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->title()) + 12)
                << name.toStdString() << ": " << box->title().toStdString();
        }
    }
}

void saveRendering(QWidget& dialog, const QString& name) {
    dialog.adjustSize();
    QCoreApplication::processEvents();
    expectTextsFit(dialog, name);
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(V36_ARTEFACT_DIR "/%1.png").arg(name)));
}

TEST_F(ShellTest, ToolDialogsRenderInBothLanguages) {
    for (int lang : {kChinese, kEnglish}) {
        start({}, lang, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        const QString suffix = lang == kEnglish ? QStringLiteral("en") : QStringLiteral("zh");
        const std::pair<ToolDialog, const char*> modeless[] = {
            {ToolDialog::MachineSettings, "machine_settings"},
            {ToolDialog::AutoSub, "auto_sub"},
            {ToolDialog::MusicAgc, "music_agc"},
            {ToolDialog::RemoteLearning, "remote_learning"},
        };
        for (const auto& [kind, name] : modeless) {
            CToolDialog* dialog = app_->showToolDialog(kind);
            ASSERT_NE(dialog, nullptr) << name;
            saveRendering(*dialog, QStringLiteral("%1_%2").arg(QLatin1String(name), suffix));
        }
        {
            CDialogNG gate(*app_, app_->mainFrame());
            saveRendering(gate, QStringLiteral("noise_gate_%1").arg(suffix));
        }
        {
            CRemoteStudyDlg study(5, *app_, app_->mainFrame());
            saveRendering(study, QStringLiteral("remote_study_waiting_%1").arg(suffix));
            study.OnRemoteEvent(0x3A);
            saveRendering(study, QStringLiteral("remote_study_learned_%1").arg(suffix));
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
