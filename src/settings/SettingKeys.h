#pragma once
// Every key of ini.ini that a window reads or writes, with the default its
// readers use when the key is missing: one table instead of literals in
// each window. Reads and writes go through INI::ReadSetting and
// INI::WriteSetting, the path built anew each time.
#include <QString>

namespace SettingKeys {

struct Key {
    QString section;
    QString key;
    QString defaultValue;
};

// "Kijkraam" / "Autostart" / "Nee": the four-player windows start their players.
extern const Key Autostart;
// "Kijkraam" / "Autosave_Snapshot" / "Ja": a snapshot goes straight to a bitmap.
extern const Key AutosaveSnapshot;
// "Kijkraam" / "Nieuws" / "Nee": the main window shows the news ticker.
extern const Key Nieuws;
// "Stream1" .. "Stream4" / "Adres" / "Auto": the address of stream slot 1..4.
// The addresses window reads it with the same default, so an untouched
// window saves "Auto" rather than a text no player can open.
Key address(int slot);

// The two values of the yes/no switches, compared exactly.
extern const QString Yes; // "Ja"
extern const QString No;  // "Nee"

QString read(const Key &key);
void write(const Key &key, const QString &value);

} // namespace SettingKeys
