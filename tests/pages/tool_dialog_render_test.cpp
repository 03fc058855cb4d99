// The tool dialogs rendered in both languages for a person to look at, and
// checked for texts that are cut and controls that cover each other.
#include <QDir>

#include "app/page.h"
#include "page_look.h"
#include "pages/factories.h"
#include "pages/noise_gate_dlg.h"
#include "remote/remote_study_dlg.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

// Renders a dialog (and at twice the pixel density) after checking that
// nothing in it is cut or covered.
void saveRendering(QWidget& dialog, const QString& name) {
    dialog.show();
    dialog.adjustSize();
    settleLayouts();
    expectLaidOutCleanly(&dialog, name);

    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(V36_ARTEFACT_DIR "/%1.png").arg(name)));
    savePageAt2x(dialog, name + QStringLiteral("_2x"));
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
