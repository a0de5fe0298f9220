#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;

// Shows the newest of a stream of values in a display field.
//
// A module that ramps reports its value many times a second, and the client
// reads every line waiting on the link in one go before the window gets to
// paint. Of the values set within such a batch only the last can ever be
// seen, yet each setText lays the text out anew, which costs most of what
// handling the line costs. The field therefore takes the newest text once
// the batch is over (a queued call, run before the next paint), and text()
// answers the newest value whether the field shows it yet or not, so every
// rule that reads the value sees what the device said last.
class LatestText : public QObject
{
    Q_OBJECT

public:
    LatestText(QLineEdit *field, QObject *parent);

    void setText(const QString &text);
    QString text() const;

private:
    void apply();

    QPointer<QLineEdit> field;
    QString newest;
    bool waiting = false;
};
