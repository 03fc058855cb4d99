#include "app/language.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMetaProperty>
#include <QTranslator>
#include <QVariant>
#include <QWidget>

#include "app/gbk.h"

// Resources of a static library are registered by hand.
static void initLanguageResources() {
    Q_INIT_RESOURCE(lang);
}

namespace v36 {

void setControlId(QObject* object, int id) {
    if (object) object->setProperty(kControlIdProperty, id);
}

int controlId(const QObject* object) {
    if (!object) return 0;
    const QVariant v = object->property(kControlIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

QWidget* findControl(const QWidget* root, int id) {
    if (!root) return nullptr;
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (controlId(w) == id) return w;
    }
    return nullptr;
}

LanguageFile LanguageFile::builtIn(int languageIndex) {
    initLanguageResources();
    QFile resource(QStringLiteral(":/lang/%1").arg(resourceNumber(languageIndex)));
    if (!resource.open(QIODevice::ReadOnly)) return {};
    return fromGbk(resource.readAll());
}

void setControlText(QWidget* control, const QString& text) {
    if (auto* box = qobject_cast<QGroupBox*>(control)) {
        box->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else {
        const QMetaObject* meta = control->metaObject();
        const int index = meta->indexOfProperty("text");
        if (index >= 0 && meta->property(index).isWritable()) control->setProperty("text", text);
    }
}

namespace {

void relabelChildren(QWidget* parent, int templateId, const LanguageFile& file) {
    const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        // A nested dialog or page is labelled from its own template.
        if (child->isWindow() || child->property(kTemplateIdProperty).isValid()) continue;
        const int id = controlId(child);
        if (id != 0) {
            const QString text = file.text(templateId, id);
            if (!text.isEmpty()) setControlText(child, text);
        }
        relabelChildren(child, templateId, file);
    }
}

}  // namespace

void ApplyDialogTexts(QWidget* window, int templateId, const LanguageFile& file) {
    if (!window || file.isEmpty()) return;
    const QString caption = file.title(templateId);
    if (!caption.isEmpty()) window->setWindowTitle(caption);
    relabelChildren(window, templateId, file);
}

StandardDialogTexts::StandardDialogTexts(QString directory)
    : directory_(directory.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                     : std::move(directory)) {}

StandardDialogTexts::~StandardDialogTexts() {
    remove();
}

bool StandardDialogTexts::apply(int languageIndex) {
    if (languageIndex == kEnglish) {
        remove();
        return true;  // Qt's own texts are English
    }
    if (installed_) return true;
    if (!translator_) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QStringLiteral("qtbase_zh_CN"), directory_)) return false;
        translator_ = std::move(translator);
    }
    installed_ = QCoreApplication::installTranslator(translator_.get());
    return installed_;
}

void StandardDialogTexts::remove() {
    if (!installed_) return;
    QCoreApplication::removeTranslator(translator_.get());
    installed_ = false;
}

}  // namespace v36
