#include "pages/factories.h"

#include "pages/compressor_page.h"
#include "pages/delay_dlg.h"
#include "pages/dialog_efx.h"
#include "pages/dialog_music.h"
#include "pages/dialog_output.h"
#include "pages/sound_field_page.h"

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
    (void)app;
    (void)parent;
    switch (kind) {
        case ToolDialog::MachineSettings:
            return nullptr;

        case ToolDialog::NoiseGate:
            return nullptr;

        case ToolDialog::AutoSub:
            return nullptr;

        case ToolDialog::MusicAgc:
            return nullptr;

        case ToolDialog::RemoteLearning:
            return nullptr;

        case ToolDialog::RemoteKeyLearning:
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
