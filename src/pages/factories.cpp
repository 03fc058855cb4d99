#include "pages/factories.h"

#include "pages/auto_music_vol_dlg.h"
#include "pages/auto_sub_dlg.h"
#include "pages/compressor_page.h"
#include "pages/delay_dlg.h"
#include "pages/dialog_efx.h"
#include "pages/dialog_music.h"
#include "pages/dialog_output.h"
#include "pages/noise_gate_dlg.h"
#include "pages/set_dlg.h"
#include "pages/sound_field_page.h"
#include "remote/remote_dlg.h"

namespace v36 {

namespace {

CEditorPage* createPage(PageKind kind, int channel, CAppServices& app, QWidget* parent) {
    (void)channel;
    (void)app;
    (void)parent;
    // One case a page; a page this build does not have yet gives null (the
    // shell shows an empty page).
    switch (kind) {
        case PageKind::Music:
            return new CDialogMusic(app, parent);

        case PageKind::Effects:
            return new CDialogEfx(channel, app, parent);

        case PageKind::Output:
            return new CDialogOutput(app, channel, parent);

        case PageKind::Delay:
            return new CDelayDlg(app, parent);

        case PageKind::SoundField:
            return new CSSVCDlg(app, parent);

        case PageKind::Compressor:
            return new CCompDlg(app, parent);
    }
    return nullptr;
}

CToolDialog* createToolDialog(ToolDialog kind, CAppServices& app, QWidget* parent) {
    switch (kind) {
        case ToolDialog::MachineSettings:
            return new CSetDlg(app, parent);

        case ToolDialog::NoiseGate:
            return new CDialogNG(app, parent);

        case ToolDialog::AutoSub:
            return new CAutoSubDlg(app, parent);

        case ToolDialog::MusicAgc:
            return new CAutoMusicVolDlg(app, parent);

        case ToolDialog::RemoteLearning:
            return new CRemoteDlg(app, parent);

        case ToolDialog::RemoteKeyLearning:
            // Made by the remote learning dialog for the key it learns.
            return nullptr;
    }
    return nullptr;
}

}  // namespace

UiFactories pageFactories() {
    UiFactories f;
    f.page = createPage;
    f.toolDialog = createToolDialog;
    return f;
}

}  // namespace v36
