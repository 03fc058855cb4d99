#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>

class QObject;
class QTranslator;
class QWidget;

namespace v36 {

// Every control that the language files label carries its numeric control
// id in this dynamic property; a dialog or page carries its template number
// in kTemplateIdProperty, so the relabelling does not walk into it from
// outside.
inline constexpr char kControlIdProperty[] = "controlId";
inline constexpr char kTemplateIdProperty[] = "templateId";

void setControlId(QObject* object, int id);
// The control id of `object`, 0 when it has none.
int controlId(const QObject* object);
// The first descendant of `root` with control id `id` (null when none).
QWidget* findControl(const QWidget* root, int id);

// The language index: 0 Chinese, 1 English.
constexpr int kChinese = 0;
constexpr int kEnglish = 1;

// The text of a Chinese / English pair for the language.
inline QString pick(int languageIndex, const char* chinese, const char* english) {
    return QString::fromUtf8(languageIndex == kEnglish ? english : chinese);
}

// One language file: an INI text in GBK with one section "[String]", keys
// "IDD<template>_title" and "IDD<template>_<control>", the value the rest of
// the line after "=". Lines beginning with "//" are comments.
class LanguageFile {
  public:
    // Values longer than this are cut.
    static constexpr int kMaxValue = 999;

    LanguageFile() = default;
    // Parses the GBK bytes of a language file. Undecodable bytes give an
    // empty file.
    static LanguageFile fromGbk(const QByteArray& bytes);
    // Parses already decoded text.
    static LanguageFile fromText(const QString& text);
    // The built-in file of the language: 331 Chinese, 332 English. Empty
    // when the resource is missing or cannot be decoded.
    static LanguageFile builtIn(int languageIndex);
    static int resourceNumber(int languageIndex) { return languageIndex == kEnglish ? 332 : 331; }

    bool isEmpty() const { return values_.isEmpty(); }
    int size() const { return static_cast<int>(values_.size()); }
    // The value of `key` in section [String] (key names compared without
    // case); empty when missing.
    QString value(const QString& key) const;
    QString title(int templateId) const;
    QString text(int templateId, int control) const;
    // Every value, keyed by its lower-case key.
    const QHash<QString, QString>& entries() const { return values_; }

  private:
    QHash<QString, QString> values_;  // lower-case key -> value
};

// Relabels a dialog or page: a non-empty "IDD<t>_title" becomes the window
// title; every labelled control inside it (not inside a nested dialog or
// page of its own) whose key "IDD<t>_<id>" is non-empty gets that text.
// Controls without a key keep their text.
void ApplyDialogTexts(QWidget* window, int templateId, const LanguageFile& file);

// Sets the visible text of one control (button, label, group box, line edit
// or anything with a "text" property).
void setControlText(QWidget* control, const QString& text);

// The texts Qt draws itself (message-box buttons, the file dialogs) in the
// language: Qt's own Chinese catalogue while the language is Chinese, Qt's
// built-in English otherwise. Without the catalogue they stay in English.
class StandardDialogTexts {
  public:
    // Qt's translations folder unless another is given.
    explicit StandardDialogTexts(QString directory = {});
    ~StandardDialogTexts();
    StandardDialogTexts(const StandardDialogTexts&) = delete;
    StandardDialogTexts& operator=(const StandardDialogTexts&) = delete;

    // Installs or removes the catalogue; true when Qt's texts are in the
    // language afterwards.
    bool apply(int languageIndex);
    bool installed() const { return installed_; }

  private:
    void remove();

    QString directory_;
    std::unique_ptr<QTranslator> translator_;
    bool installed_ = false;
};

}  // namespace v36
