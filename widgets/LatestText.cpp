#include "widgets/LatestText.h"

#include <QLineEdit>

LatestText::LatestText(QLineEdit *shown, QObject *parent) : QObject(parent), field(shown) {}

void LatestText::setText(const QString &text)
{
    newest = text;
    if (waiting)
        return;
    waiting = true;
    QMetaObject::invokeMethod(this, &LatestText::apply, Qt::QueuedConnection);
}

QString LatestText::text() const
{
    if (waiting || !field)
        return newest;
    return field->text();
}

void LatestText::apply()
{
    waiting = false;
    if (field)
        field->setText(newest);
}
