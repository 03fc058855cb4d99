#pragma once

// The pages as a person sees them: the main window rendered at its smallest
// size and maximised on a 1920 x 1080 screen, and the layout checks that no
// text is cut and no control covers another.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "app/main_frame.h"
#include "app/page.h"
#include "controls/grid_list.h"
#include "controls/image_button.h"

namespace v36::test {

inline void settleLayouts() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

inline QRect rectIn(const QWidget* w, const QWidget* ancestor) {
    return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
}

// Saves the main window as it is drawn now under the build's artefacts.
inline void saveWindow(CMainFrame& frame, const QString& name) {
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    EXPECT_TRUE(frame.grab().save(QStringLiteral(V36_ARTEFACT_DIR "/%1.png").arg(name)));
}

// Saves a page drawn at twice the pixel density (the drawn pictures and
// controls must stay sharp).
inline void savePageAt2x(QWidget& page, const QString& name) {
    QImage image(page.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2.0);
    image.fill(Qt::white);
    page.render(&image);
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    EXPECT_TRUE(image.save(QStringLiteral(V36_ARTEFACT_DIR "/%1.png").arg(name)));
}

// Every visible control of the page lies inside its parent, takes the width
// its text asks for, and covers no sibling.
inline void expectLaidOutCleanly(QWidget* page, const QString& state) {
    SCOPED_TRACE(state.toStdString());
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page) || w->isWindow()) continue;
        QWidget* parent = w->parentWidget();
        const QString name = QStringLiteral("%1 (id %2) \"%3\"")
                                 .arg(QString::fromLatin1(w->metaObject()->className()))
                                 .arg(w->property("controlId").toInt())
                                 .arg(w->property("text").toString());
        // Item views own viewports and scroll bars of their own.
        if (qobject_cast<QAbstractScrollArea*>(parent) || parent->inherits("QAbstractScrollArea"))
            continue;
        EXPECT_TRUE(parent->rect().contains(w->geometry()))
            << name.toStdString() << " leaves its parent";
        const auto* label = qobject_cast<const QLabel*>(w);
        const bool text = (label && !label->wordWrap() && label->pixmap().isNull()) ||
                          qobject_cast<const QAbstractButton*>(w) != nullptr;
        // A picture button's picture follows its size: only its caption must fit.
        const bool picture = qobject_cast<const CGdipButton*>(w) != nullptr;
        if (text) {
            EXPECT_GE(w->width(), picture ? w->minimumSizeHint().width() : w->sizeHint().width())
                << name.toStdString() << " is cut";
            EXPECT_GE(w->height(), w->minimumSizeHint().height())
                << name.toStdString() << " is cut";
        }
        if (label && label->wordWrap()) {
            EXPECT_GE(w->height(), label->heightForWidth(w->width()))
                << name.toStdString() << " is cut";
        }
        if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
            const QFontMetrics fm(box->font());
            EXPECT_GE(box->width(), fm.horizontalAdvance(box->title()) + 16)
                << name.toStdString() << " title is cut";
        }
        if (const auto* grid = qobject_cast<const CGridListCtrl*>(w)) {
            const QFontMetrics fm(grid->font());
            for (int r = 0; r < grid->rowCount(); ++r) {
                for (int c = 1; c < grid->columnCount(); ++c) {
                    const QString cell = grid->cellText(r, c);
                    EXPECT_LE(fm.horizontalAdvance(cell) + 8, grid->columnWidth(c))
                        << name.toStdString() << " cuts \"" << cell.toStdString() << "\"";
                }
            }
        }
        for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (sibling == w || !sibling->isVisibleTo(page) || sibling->isWindow()) continue;
            if (w < sibling && w->geometry().intersects(sibling->geometry())) {
                ADD_FAILURE() << name.toStdString() << " covers "
                              << sibling->metaObject()->className() << " (id "
                              << sibling->property("controlId").toInt() << ")";
            }
        }
    }
}

}  // namespace v36::test
