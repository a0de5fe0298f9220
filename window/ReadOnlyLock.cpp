// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/ReadOnlyLock.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>

namespace {

// Controls that only show more or ask a device for its state.
const char *const ViewOnlyControls[] = {"ShowDetailsB", "ShowStatB"};

bool isViewOnly(const QWidget *widget)
{
    for (const char *name : ViewOnlyControls) {
        if (widget->objectName() == QLatin1String(name))
            return true;
    }
    return false;
}

} // namespace

ReadOnlyLock::ReadOnlyLock(QObject *parent) : QObject(parent) {}

QString ReadOnlyLock::windowTitle(const QString &title)
{
    return tr("%1 (read-only)").arg(title);
}

bool ReadOnlyLock::isOperatorControl(const QWidget *widget)
{
    if (isViewOnly(widget))
        return false;
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
        // A combo box's own editor goes with its box; a field that only
        // shows a value takes no input anyway.
        return !edit->isReadOnly() && !qobject_cast<const QComboBox *>(edit->parentWidget());
    }
    return qobject_cast<const QAbstractButton *>(widget) ||
           qobject_cast<const QComboBox *>(widget) ||
           qobject_cast<const QAbstractSpinBox *>(widget) ||
           qobject_cast<const QAbstractSlider *>(widget);
}

int ReadOnlyLock::lock(QWidget *panel)
{
    int count = 0;
    for (QWidget *widget : panel->findChildren<QWidget *>()) {
        if (!isOperatorControl(widget))
            continue;
        widget->setEnabled(false);
        widget->installEventFilter(this);
        count++;
    }
    return count;
}

bool ReadOnlyLock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        auto *widget = qobject_cast<QWidget *>(watched);
        // Turned on by someone's own rule: off again at once. Setting it off
        // sends one more change, which finds the widget disabled and ends.
        if (widget && widget->isEnabled())
            widget->setEnabled(false);
    }
    return QObject::eventFilter(watched, event);
}
