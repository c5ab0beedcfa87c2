#pragma once
// The program's window kinds: the keys of the window registry (Forms.h),
// each with the name the window carries as its objectName (and so in the
// players' log lines). At most one window of each kind exists.
// In the order of their names, which is the order in which the registry
// goes through its windows.
enum class WindowKey {
    StreamAddresses, // "Adressen": the four stream addresses
    Main,            // "Form1": the grid of four players
    About,           // "Form2"
    Row,             // "Horizontaal": the four players in one row
    Options,         // "Opties"
    Snapshot,        // "Snapshot": the preview of a snapshot
    Stream1,         // "Stream1" .. "Stream4": one slot's window
    Stream2,
    Stream3,
    Stream4,
    Column, // "verticaal": the four players in one column
};

namespace WindowKeys {

// The names, in the order of WindowKey.
inline constexpr const char *Names[] = {"Adressen", "Form1",   "Form2",   "Horizontaal", "Opties",   "Snapshot",
                                        "Stream1",  "Stream2", "Stream3", "Stream4",     "verticaal"};
inline constexpr int Count = int(sizeof(Names) / sizeof(Names[0]));
static_assert(Count == int(WindowKey::Column) + 1, "one name for every window kind");

constexpr const char *nameOf(WindowKey key) { return Names[int(key)]; }

// The window of stream slot 1..4.
constexpr WindowKey stream(int slot) { return WindowKey(int(WindowKey::Stream1) + slot - 1); }

} // namespace WindowKeys
