#include "player/EngineOptions.h"

#include <QRegularExpression>

namespace EngineOptions {

Table forProgram(const QString &text)
{
    Table table;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        // The name never holds "=", a value may ("a=b" lists); neither
        // holds a space, so what follows the value is the "who" word.
        const int eq = line.indexOf(QLatin1Char('='));
        const QString name = line.left(eq).trimmed();
        const QStringList rest = line.mid(eq + 1).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        const QString who = rest.value(1);
        if (eq <= 0 || name.contains(QLatin1Char(' ')) || rest.isEmpty() || rest.size() > 2
            || (!who.isEmpty() && who != QLatin1String("program") && who != QLatin1String("peers"))) {
            table.faults << QStringLiteral("line %1: %2").arg(i + 1).arg(line);
            continue;
        }
        if (who != QLatin1String("peers"))
            table.options.append({name, rest.first()});
    }
    return table;
}

const QString &builtIn()
{
    static const QString text = QString::fromUtf8(
#include "engine-options.inc"
    );
    return text;
}

} // namespace EngineOptions
