#pragma once
// Where the program keeps its settings file and its automatic snapshots.
//
// A program that can write its own directory, and is not installed in a
// system tree, keeps both beside itself: a copied folder is a complete,
// portable installation and an existing ini.ini there goes on working.
// Installed in a system tree (/usr, /opt, /bin, /sbin, /lib, /snap) or in a
// directory its user cannot write, it uses the user's own places of the
// freedesktop conventions instead:
//   settings   $XDG_CONFIG_HOME/kijkraam (by default ~/.config/kijkraam)
//   snapshots  "Kijkraam" in the user's pictures directory
// The system-tree rule matters for root, who can write /usr/bin but should
// not leave settings and bitmaps there. A per-user directory is created
// when the first file goes into it.
#include <QString>

namespace DataPlaces {

// --- The rule, on plain values ---

// Whether `dir` lies in a tree of installed system software.
bool inSystemTree(const QString &dir);
// Whether a program in `programDir` keeps its files beside itself.
bool besideProgram(const QString &programDir, bool programDirWritable);
// The per-user settings directory: $XDG_CONFIG_HOME (used only when it is an
// absolute path, as the convention asks) or else home/.config, then
// "kijkraam".
QString userSettingsDir(const QString &xdgConfigHome, const QString &home);
// The per-user snapshot directory: "Kijkraam" in the pictures directory, or
// in home/Pictures when none is known.
QString userSnapshotDir(const QString &picturesDir, const QString &home);

// --- The running program ---

struct Place {
    QString dir;
    bool perUser = false; // a per-user directory, which may not exist yet
};

// Decided afresh at every call (one access() check), so a settings path is
// built anew for each read and write. While tests have pointed ProgramDir
// elsewhere, everything stays in that directory unless they made it count
// as read-only.
Place settings();
Place snapshots();
// The same decision for a program in `programDir`, from the environment.
Place settingsFor(const QString &programDir);
Place snapshotsFor(const QString &programDir);

// Creates the directory of a per-user place and its missing parents, each
// readable by its owner only; true when the directory exists afterwards.
// Does nothing, and returns whether the directory exists, for the program
// directory.
bool prepare(const Place &place);

} // namespace DataPlaces
