// The test for a previous version that must be uninstalled first, or
// whose upgrade text is to be shown (#REMOVE#, #UPGMSG1#, #REMAPP#). The
// welcome page and the silent run ask it.
#pragma once

struct PreviousVersion {
    bool mustRemove;  // an installed version must be uninstalled first
    bool upgradeDue;  // the upgrade text of #UPGMSG1# is to be shown
};

// Reads the variables and the product's registration and install record.
// #UPGMSG1# becomes the text behind its first space; an undefined #REMAPP#
// becomes #PROGRAM#. A registration without a valid install record is
// removed (and noted in the log): it blocks nothing.
PreviousVersion CheckPreviousVersion();
// True when the install record of #REMAPP# (or #PROGRAM#) names another
// folder than #INSTALLPATH#: that installation must go before this one.
bool InstalledElsewhere();
