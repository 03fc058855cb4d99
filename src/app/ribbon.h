#pragma once

#include <QAction>
#include <QHash>
#include <QLabel>
#include <QSlider>
#include <QStringList>
#include <QToolButton>
#include <QWidget>
#include <array>

class QMenu;
class QStackedWidget;
class QTabBar;

namespace v36 {

// A ribbon slider that steps: a left click on the channel outside the thumb
// moves the position by exactly one towards the click and notifies at
// once; a click on the thumb starts the usual drag. Positions set by the
// program do not notify.
class CMFCRibbonStepSlider : public QSlider {
    Q_OBJECT

  public:
    CMFCRibbonStepSlider(int commandId, int minimum, int maximum, int width, QWidget* parent);
    int commandId() const { return commandId_; }
    // Sets the position without notifying.
    void setPos(int value);
    // Moves by `delta` and notifies, as a user's step would.
    void step(int delta);

  signals:
    void command(int id);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    int commandId_;
    bool programmatic_ = false;
};

// The ribbon: an application button with its menu, a row of category tabs
// with buttons beside them, and beneath the tabs the panels of the active
// category. Every element is found by its command id; commands leave by
// the signal `command`.
class CMyMFCRibbonBar : public QWidget {
    Q_OBJECT

  public:
    CMyMFCRibbonBar(int languageIndex, QWidget* parent);

    // Categories: 0 Input, 1 Output.
    int activeCategory() const;
    void setActiveCategory(int category);
    QString categoryName(int category) const;
    void setCategoryName(int category, const QString& name);
    QString activeCategoryName() const { return categoryName(activeCategory()); }

    QString panelName(int category, int panel) const;
    void setPanelName(int category, int panel, const QString& name);
    // The panel's widget (for hit tests of the wheel).
    QWidget* panelWidget(int category, int panel) const;

    // Elements by command id.
    QWidget* element(int id) const { return elements_.value(id); }
    CMFCRibbonStepSlider* slider(int id) const;
    QAction* menuItem(int id) const { return actions_.value(id); }
    // The caption above the recent documents in the application menu.
    QString recentFilesCaption() const;
    // The text of a label, button, check box or menu item.
    QString elementText(int id) const;
    void setElementText(int id, const QString& text);
    void setChecked(int id, bool checked);
    bool isChecked(int id) const;
    void setElementEnabled(int id, bool enabled);

    QMenu* applicationMenu() const { return appMenu_; }
    QMenu* dropDownMenu(int buttonId) const { return menus_.value(buttonId); }
    void setRecentFiles(const QStringList& files);
    QStringList recentFiles() const { return recent_; }

    // Re-lays out the panels after texts changed.
    void recalcLayout();
    // The texts the ribbon keeps for itself (tooltips) in the language.
    void applyLanguage(int languageIndex);
    // Whether the panels are too narrow for every text: the file buttons
    // then show their icons alone, their texts as tooltips.
    bool isCompact() const {
        return !compactable_.isEmpty() &&
               compactable_[0]->toolButtonStyle() == Qt::ToolButtonIconOnly;
    }

  signals:
    void command(int id);
    void categoryChanged(int category);
    void recentFileChosen(const QString& path);
    // A drop-down or the application menu is about to be shown (the view
    // answers with the check marks).
    void updateQuery();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void buildTopRow(int lang);
    QWidget* buildCategory(int category, int lang);
    QWidget* makePanel(int category, int panel, int lang, QWidget* content);
    QLabel* addLabel(int id, const QString& text);
    // A slider over the range of the control of `word`.
    CMFCRibbonStepSlider* addSlider(int id, int word, int width);
    QWidget* addCheck(int id, const QString& text);
    QToolButton* addButton(int id, const QString& text, QWidget* parent);
    QAction* addAction(QMenu* menu, int id, const QString& text, bool checkable);
    // Measures the width the panels need with every text shown and fits
    // them to the ribbon's width.
    void measureFit();
    void setCompact(bool compact);

    QToolButton* appButton_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QMenu* appMenu_ = nullptr;
    QAction* recentCaption_ = nullptr;
    QAction* recentEnd_ = nullptr;
    QList<QAction*> recentActions_;
    QStringList recent_;
    QHash<int, QWidget*> elements_;
    QHash<int, QAction*> actions_;
    QHash<int, QMenu*> menus_;
    QList<QToolButton*> compactable_;
    int fullWidth_ = 0;
    std::array<std::array<QLabel*, 8>, 2> panelCaptions_{};
    std::array<std::array<QWidget*, 8>, 2> panels_{};
};

}  // namespace v36
