#pragma once
// Stream slots and the addresses on the maker's web server: the rule of
// what address a slot plays, with no display. The window where the user
// edits the four addresses is another thing: config/Adressen.
#include "platform/Seam.h"

#include <QString>

namespace Addresses {

// The maker's web server: scheme, host and optional port (a build setting).
QString server();
// What tests point the program at instead (Seam.h): a server of their own;
// empty is the build setting.
extern Seam<QString> serverSeam;

// The built-in address of slot 1..4: the slot's playlist on the maker's server.
QString builtInAddress(int slot);

// The stored address text that stands for the slot's built-in address.
extern const QString Auto; // "Auto"

// What a player of `slot` is given for the stored address text: the built-in
// address for exactly Auto, anything else unchanged.
QString resolve(int slot, const QString &stored);

// Settings section of a slot: "Stream1" .. "Stream4".
QString sectionOf(int slot);

QString counterPage(); // loaded at every load of the main window
QString tickerPage();  // shown below the grid when "Nieuws" is "Ja"

} // namespace Addresses
