#pragma once

// The views the window hosts, each built as View(AppModel&, QWidget*) with setPlan(plan):
//   BedPane        the bed, or its placeholder before the first preview
//   WorkspacePane  the pairing workspace, in place of the bed while pairing
//   SidebarPane    the settings and regions column, 300 wide

#include "ui/BedOrPlaceholder.h"
#include "ui/PairingWorkspace.h"
#include "ui/Sidebar.h"

using BedPane = BedOrPlaceholder;
using WorkspacePane = PairingWorkspace;
using SidebarPane = Sidebar;
