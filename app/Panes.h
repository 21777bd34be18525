#pragma once

// The views the window hosts, each built as View(AppModel&, QWidget*) with setPlan(plan):
//   BedPane        the bed, or its placeholder before the first preview
//   WorkspacePane  the pairing workspace, in place of the bed while pairing
//   SidebarPane    the settings and regions column, 300 wide
// Empty stand-ins hold their places until the views themselves are in.

#include "app/StandInPane.h"

using BedPane = StandInPane;
using WorkspacePane = StandInPane;
using SidebarPane = StandInPane;
