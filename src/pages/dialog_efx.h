#pragma once

#include <QWidget>

#include "app/page.h"

namespace v36 {

class CEqEditor;
class CGdipButton;
class CWheelToFocus;

// The picture that names the EQ an effects page shows: its title on a plate,
// in the current language.
class CEqTitlePicture : public QWidget {
    Q_OBJECT

  public:
    explicit CEqTitlePicture(QWidget* parent = nullptr);
    void setTitle(const QString& title);
    QString title() const { return title_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString title_;
    QFont font_;
};

// The effects page (template 421): the 7-band EQ of one effect return, the
// reverb or echo of microphone channel A or B (EQ numbers 6, 7, 9, 10). The
// music page opens it from its compact curves; its back button returns.
class CDialogEfx : public CEditorPage {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 421;
    static constexpr int kPictureId = 1258;
    static constexpr int kBackId = 1068;

    // An EQ number other than 6, 7, 9 or 10 gives the CH A reverb EQ.
    CDialogEfx(int eq, CAppServices& app, QWidget* parent);

    int channel() const override { return eq_; }
    void setChannel(int eq) override;
    void RefreshFromStore() override;
    void ApplyLanguage() override;
    void ToggleEqBypass() override;
    bool IsEqBypassed() override;
    void ResetEq() override;

    static bool isEffectEq(int eq);

    CEqEditor* eqEditor() const { return editor_; }
    CEqTitlePicture* picture() const { return picture_; }
    CGdipButton* backButton() const { return back_; }

  private:
    int eq_;
    CEqEditor* editor_ = nullptr;
    CEqTitlePicture* picture_ = nullptr;
    CGdipButton* back_ = nullptr;
    CWheelToFocus* wheel_ = nullptr;
};

}  // namespace v36
