#include "app/PairButton.h"

#include "app/Icons.h"
#include "app/Appearance.h"
#include "ui/Theme.h"

const QString PairButton::pairHelp = QStringLiteral("Match this flipped batch to the previous scan");
const QString PairButton::cannotHelp = QStringLiteral("Scan a batch of fronts first, then preview the flipped backs");

PairButton::PairButton(AppModel& model, QWidget* parent) : QPushButton(parent), model_(model)
{
    setIcon(Icons::get(Icons::pair));
    refresh();
}

void PairButton::refresh()
{
    const bool pairing = model_.pairingMode();
    const bool canPair = model_.canPair();
    setText(pairing ? QStringLiteral("Pairing") : QStringLiteral("Pair Backs"));
    setAccessibleName(text());
    setToolTip(pairing ? QString() : canPair ? pairHelp : cannotHelp);
    setEnabled(pairing || (!model_.busy() && canPair));

    QPalette p = Appearance::palette();
    if (pairing) {
        p.setColor(QPalette::Button, Theme::accent());
        p.setColor(QPalette::ButtonText, Qt::black);
    }
    setPalette(p);
}
