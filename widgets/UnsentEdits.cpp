// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/UnsentEdits.h"

#include "client/Logging.h"
#include "client/Tesra.h"
#include "devices/Colours.h"
#include "widgets/PanelNotice.h"

#include <QLineEdit>
#include <algorithm>

// A pale yellow, apart from the orange of a refused set voltage and the
// pink of an alert: the text is fine, it only has not gone out.
const QString UnsentEdits::MarkStyle = Colours::background(Colours::Colour::UnsentEdit);

UnsentEdits::UnsentEdits(PanelNotice *panelNotice, QObject *parent)
    : QObject(parent), notice(panelNotice)
{
}

void UnsentEdits::follow(Tesra *c)
{
    client = c;
}

bool UnsentEdits::mayFinish(QLineEdit *field, const QString &command)
{
    if (!client || client->linkState() == Tesra::LinkState::Ready) {
        clear(field);
        return true;
    }
    qCDebug(lcClient).noquote()
        << QStringLiteral("not sent, the link is not ready: %1; kept in the field").arg(command);
    mark(field);
    notice->post(tr("Not sent, the link is not ready: %1. It stays in its field; confirm it "
                    "again once the link is back.")
                     .arg(command));
    return false;
}

bool UnsentEdits::isMarked(const QLineEdit *field) const
{
    return std::any_of(marks.begin(), marks.end(),
                       [field](const Mark &entry) { return entry.field == field; });
}

QString UnsentEdits::markText(const QString &text, const QDateTime &when)
{
    return tr("“%1” was not sent: the link was not ready at %2. Confirm it again once the link "
              "is back.")
        .arg(text, when.toString(QStringLiteral("HH:mm:ss")));
}

void UnsentEdits::mark(QLineEdit *field)
{
    if (!isMarked(field)) {
        Mark entry{field, field->styleSheet(), field->toolTip(), {}};
        // Only the operator's own typing ends the mark: a value the device
        // reports into the field leaves the note of what was not sent.
        entry.edited =
            connect(field, &QLineEdit::textEdited, this, [this, field] { clear(field); });
        marks.append(entry);
        field->setStyleSheet(MarkStyle);
    }
    field->setToolTip(markText(field->text(), QDateTime::currentDateTime()));
}

void UnsentEdits::clear(QLineEdit *field)
{
    for (int i = 0; i < marks.size(); ++i) {
        const Mark &entry = marks.at(i);
        if (entry.field != field)
            continue;
        disconnect(entry.edited);
        field->setStyleSheet(entry.style);
        field->setToolTip(entry.toolTip);
        marks.removeAt(i);
        return;
    }
}
