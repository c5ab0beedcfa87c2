#pragma once
// The file-save dialog component. Its owner sets the properties, calls
// ShowSave and reads FileName, as with the classic common dialog:
//   DialogTitle  the caption of the dialog
//   Filter       "description|pattern|description|pattern..."
//   Flags        OverwritePrompt (2): ask before an existing file is chosen
//   FileName     in: the proposed name; out: the chosen full path
// The dialog is Qt's own (never the desktop's native one), modal to its
// owner. Tests tell it the next answer (answerSeam) instead of driving a
// dialog; a test that drives the real one finds it with showing().
#include "platform/Seam.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QFileDialog;
class QWidget;

class SaveDialog : public QObject {
    Q_OBJECT
public:
    enum : int { OverwritePrompt = 2 };

    explicit SaveDialog(const QString &name, QObject *parent = nullptr);

    QString DialogTitle;
    QString Filter;
    int Flags = 0;
    QString FileName;

    // Show the dialog modal to `owner` and wait for the user in a nested
    // event loop. True when a file was chosen (FileName holds its path);
    // false on cancel, and FileName keeps its earlier value.
    bool ShowSave(QWidget *owner);

    // The Qt name filters that a Filter text stands for.
    static QStringList nameFilters(const QString &filter);

    // The dialog that is showing at the moment, or nullptr.
    static QFileDialog *showing();

    // An answer that tests put in place (Seam.h): the next ShowSave shows
    // nothing and answers at once, with this full path as the user's choice
    // (confirmed, if it asked), or with a cancel for std::nullopt. One
    // answer serves one ShowSave, which takes it; none waits by default.
    using Answer = std::optional<QString>;
    static Seam<std::optional<Answer>> answerSeam;
    // What the last ShowSave was asked to show (title, filter, flags), for
    // tests that answer without a dialog.
    struct Shown {
        QString title;
        QStringList nameFilters;
        bool asksBeforeOverwrite = false;
        QString proposed;
    };
    static Shown lastShown();
};
