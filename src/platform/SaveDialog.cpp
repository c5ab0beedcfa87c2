#include "platform/SaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

namespace {
QPointer<QFileDialog> g_showing;
SaveDialog::Shown g_lastShown;
} // namespace

Seam<std::optional<SaveDialog::Answer>> SaveDialog::answerSeam;
SaveDialog::Shown SaveDialog::lastShown() { return g_lastShown; }

SaveDialog::SaveDialog(const QString &name, QObject *parent) : QObject(parent) { setObjectName(name); }

QStringList SaveDialog::nameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns.isEmpty())
            continue;
        // Qt takes the patterns from the parentheses of the text; add them
        // when the description does not already show them.
        if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
            result << description;
        else if (description.isEmpty())
            result << patterns;
        else
            result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

QFileDialog *SaveDialog::showing() { return g_showing; }

bool SaveDialog::ShowSave(QWidget *owner)
{
    g_lastShown = {DialogTitle, nameFilters(Filter), bool(Flags & OverwritePrompt), FileName};
    if (const std::optional<Answer> next = answerSeam.take()) {
        const Answer &answer = *next;
        if (!answer)
            return false;
        FileName = *answer;
        return true;
    }
    QPointer<SaveDialog> self(this);
    QPointer<QFileDialog> dialog = new QFileDialog(owner);
    dialog->setObjectName(objectName());
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !(Flags & OverwritePrompt));
    dialog->setWindowTitle(DialogTitle);
    dialog->setWindowModality(Qt::WindowModal);
    const QStringList filters = nameFilters(Filter);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    if (FileName.isEmpty()) {
        dialog->setDirectory(QDir::homePath());
    } else {
        const QFileInfo proposed(FileName);
        dialog->setDirectory(proposed.absolutePath());
        dialog->selectFile(proposed.fileName());
    }

    g_showing = dialog;
    const int answer = dialog->exec();
    // The owner (and this component with it) may have gone while the dialog
    // was up, for instance when the program ended from another window.
    if (!dialog || !self)
        return false;
    const QStringList chosen = dialog->selectedFiles();
    delete dialog;
    if (answer != QDialog::Accepted || chosen.isEmpty())
        return false;
    FileName = chosen.first();
    return true;
}
