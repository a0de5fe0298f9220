// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QWidget;

// Keeps the operator controls of a panel disabled for good.
//
// In read-only mode nothing on screen may look as if it could change a
// device. Every control that an operator could use to give a command
// (buttons, selectors, editable fields) is disabled, and stays so: panels
// and the window enable and disable their controls by their own rules (the
// link state, a module's state), and this lock turns each control off again
// whenever any of them turns it on. Controls that only change the view or
// ask a device for its state (Show Details, Show Stat) stay usable.
class ReadOnlyLock : public QObject
{
    Q_OBJECT

public:
    explicit ReadOnlyLock(QObject *parent = nullptr);

    // Disables and locks every operator control inside panel; returns how many.
    int lock(QWidget *panel);

    // The window title that says so.
    static QString windowTitle(const QString &title);

    // Whether widget is a control that gives commands.
    static bool isOperatorControl(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
