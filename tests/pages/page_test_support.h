#pragma once

// What the page tests share: the check that a page's texts fit, and its
// renderings for a person to look at.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "app/language.h"
#include "controls/image_button.h"
#include "pages/factories.h"
#include "shell_fixture.h"

namespace v36::test {

// The whole application on the virtual unit with one page of this build
// shown.
template <typename Page, PageKind kKind>
class PageTest : public ShellTest {
  protected:
    Page& open(int language = kEnglish) {
        start({}, language, pageFactories());
        EXPECT_TRUE(waitIdleConnected());
        app_->ShowPage(kKind, 0);
        auto* page = dynamic_cast<Page*>(view().currentPage());
        EXPECT_NE(page, nullptr);
        return *page;
    }
    // The edits posted so far have reached the unit.
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
};

// Every shown control lies inside the page, and every text fits its control.
inline void expectTextsFit(const QWidget& page) {
    for (const QWidget* w : page.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&page)) continue;
        const QRect r(w->mapTo(&page, QPoint(0, 0)), w->size());
        EXPECT_TRUE(page.rect().contains(r)) << controlId(w);
        // The text and the room it needs beside it.
        QString text;
        int padding = 0;
        if (const auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
        if (const auto* b = qobject_cast<const CGdipButton*>(w)) {
            text = b->caption();
            padding = 8;
        }
        if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
            text = e->text();
            padding = 6;
        }
        if (const auto* c = qobject_cast<const QCheckBox*>(w)) {
            EXPECT_GE(c->width(), c->sizeHint().width()) << c->text().toStdString();
        }
        if (!text.isEmpty()) {
            EXPECT_LE(w->fontMetrics().horizontalAdvance(text) + padding, w->width())
                << text.toStdString() << " " << controlId(w);
        }
    }
}

// Saves the page as <name>_<en|zh>_<width>.png among the artefacts.
inline void savePage(QWidget& page, const QString& name, int language) {
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    page.grab().save(
        QStringLiteral(V36_ARTEFACT_DIR "/%1_%2_%3.png")
            .arg(name, language == kEnglish ? QStringLiteral("en") : QStringLiteral("zh"))
            .arg(page.window()->width()));
}

}  // namespace v36::test
