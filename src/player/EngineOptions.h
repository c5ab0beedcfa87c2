#pragma once
// The table of options every libmpv core starts with (engine-options.conf,
// compiled into the program): one "name = value [who]" per line, where who
// is empty (the program and the benchmark's peers), "program" or "peers".
#include <QList>
#include <QString>
#include <QStringList>

namespace EngineOptions {

struct Option {
    QString name;
    QString value;
};

struct Table {
    QList<Option> options; // in the table's order
    QStringList faults;    // lines that are not "name = value [who]", as "line N: text"
};

// The options of the table text meant for the program's own players.
Table forProgram(const QString &text);
// The table the build compiled into the program.
const QString &builtIn();

} // namespace EngineOptions
