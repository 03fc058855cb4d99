#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <vector>

namespace v36 {

// One key area of the drawn remote control: a button with the hand cursor
// that draws its key (hover and pressed looks included).
class CRemoteKey : public QAbstractButton {
    Q_OBJECT

  public:
    enum class Shape { Power, Pill, Up, Down, Left, Right, Ok, Plus, Minus };

    CRemoteKey(int key, Shape shape, QWidget* parent);
    int key() const { return key_; }
    Shape shape() const { return shape_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    int key_;
    Shape shape_;
    bool hover_ = false;
};

// The picture of the remote control with its seventeen keys, labelled in
// Chinese or English. A click on a key reports its number (1..17).
class CRemotePicture : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kControlId = 1216;

    explicit CRemotePicture(QWidget* parent = nullptr);

    void setLanguage(int languageIndex);
    int language() const { return language_; }
    // The key area of key 1..17 (null for another number).
    CRemoteKey* keyArea(int key) const;

    QSize sizeHint() const override;

  signals:
    void keyClicked(int key);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<CRemoteKey*> keys_;
    int language_ = 0;
};

}  // namespace v36
