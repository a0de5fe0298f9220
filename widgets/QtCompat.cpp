// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/QtCompat.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>

namespace QtCompat {

EditEnd::EditEnd(QLineEdit *lineEdit)
    : QObject(lineEdit), edit(lineEdit), changed(!lineEdit->text().isEmpty())
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    connect(edit, &QLineEdit::editingFinished, this, &EditEnd::finished);
#else
    // Return and Enter report as in Qt 5 (returnPressed comes with every
    // such editingFinished); the loss of focus is watched here, with Qt 5's
    // notion of a change: any new text, typed or set, since a text set
    // before this watcher existed counts too. The line edit of a combo box
    // never holds the focus itself: the box hands its focus events straight
    // to it, past any event filter, so the box is watched instead.
    connect(edit, &QLineEdit::returnPressed, this, &EditEnd::finished);
    connect(edit, &QLineEdit::textChanged, this, [this] { changed = true; });
    auto *box = qobject_cast<QComboBox *>(edit->parentWidget());
    if (box && box->lineEdit() == edit)
        box->installEventFilter(this);
    else
        edit->installEventFilter(this);
#endif
}

bool EditEnd::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && changed) {
        // Qt 5's rule: a focus lost to a popup of the line edit itself (its
        // context menu) does not end the edit.
        const auto *focus = static_cast<QFocusEvent *>(event);
        const QWidget *popup = QApplication::activePopupWidget();
        const bool ownPopup = popup && popup->parentWidget() == edit;
        if ((focus->reason() != Qt::PopupFocusReason || !ownPopup) && edit->hasAcceptableInput()) {
            changed = false;
            emit finished();
        }
    }
    return QObject::eventFilter(watched, event);
}

EditEnd *editEnd(QLineEdit *edit)
{
    auto *existing = edit->findChild<EditEnd *>(QString(), Qt::FindDirectChildrenOnly);
    return existing ? existing : new EditEnd(edit);
}

} // namespace QtCompat
