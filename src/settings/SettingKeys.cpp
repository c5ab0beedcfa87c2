#include "settings/SettingKeys.h"
#include "settings/Addresses.h"
#include "settings/Ini.h"

namespace SettingKeys {

const QString Yes = QStringLiteral("Ja");
const QString No = QStringLiteral("Nee");

const Key Autostart{QStringLiteral("Kijkraam"), QStringLiteral("Autostart"), QStringLiteral("Nee")};
const Key AutosaveSnapshot{QStringLiteral("Kijkraam"), QStringLiteral("Autosave_Snapshot"), QStringLiteral("Ja")};
const Key Nieuws{QStringLiteral("Kijkraam"), QStringLiteral("Nieuws"), QStringLiteral("Nee")};

Key address(int slot) { return {Addresses::sectionOf(slot), QStringLiteral("Adres"), Addresses::Auto}; }

QString read(const Key &key) { return INI::ReadSetting(key.section, key.key, key.defaultValue); }

void write(const Key &key, const QString &value) { INI::WriteSetting(key.section, key.key, value); }

} // namespace SettingKeys
