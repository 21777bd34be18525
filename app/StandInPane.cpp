#include "app/StandInPane.h"

StandInPane::StandInPane(AppModel&, QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}
