#include "window/aIC.h"

#include "amplifier/aCA.h"
#include "hv/aHV.h"

#include <QDebug>
#include <QLabel>

aIC::aIC(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
}

void aIC::placeUnits(aHV *hvPanel, aCA *ampPanel)
{
    hv = hvPanel;
    amp = ampPanel;

    auto *label = new QLabel(name);
    Layout->addWidget(label, nameRow, nameColumn, 1, 1);
    if (hv)
        Layout->addWidget(hv, hv->row, hv->col, hv->rowSpan, hv->colSpan);
    if (amp)
        Layout->addWidget(amp, amp->row, amp->col, amp->rowSpan, amp->colSpan);

    qDebug().noquote() << "name" << nameRow << nameColumn;
    if (hv)
        qDebug().noquote() << "hv" << hv->row << hv->col << hv->rowSpan << hv->colSpan;
    if (amp)
        qDebug().noquote() << "ca" << amp->row << amp->col << amp->rowSpan << amp->colSpan;
}
