#include "app/PairButton.h"

#include "app/Appearance.h"
#include "app/Icons.h"
#include "ui/Theme.h"

const QString PairButton::pairHelp = QStringLiteral("Match this flipped batch to the previous scan");
const QString PairButton::cannotHelp = QStringLiteral("Scan a batch of fronts first, then preview the flipped backs");

PairButton::PairButton(AppModel& model, QWidget* parent) : QPushButton(parent), model_(model)
{
    refresh();
}

void PairButton::refresh()
{
    const bool pairing = model_.pairingMode();
    const bool canPair = model_.canPair();
    setToolTip(pairing ? QString() : canPair ? pairHelp : cannotHelp);
    setEnabled(pairing || (!model_.busy() && canPair));
    if (form_ == pairing) return;
    form_ = pairing;
    setText(pairing ? QStringLiteral("Pairing") : QStringLiteral("Pair Backs"));
    setAccessibleName(text());
    // The pairing form is filled with the accent, its label and icon in black.
    setIcon(pairing ? Icons::tinted(Icons::pair, Qt::black) : Icons::get(Icons::pair));
    QPalette p = Appearance::palette();
    if (pairing) {
        p.setColor(QPalette::Button, Theme::accent());
        p.setColor(QPalette::ButtonText, Qt::black);
    }
    setPalette(p);
}
