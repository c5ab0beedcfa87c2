#pragma once
// The file-save dialog component. Its owner sets the properties, calls
// ShowSave and reads FileName, as with the classic common dialog:
//   DialogTitle  the caption of the dialog
//   Filter       "description|pattern|description|pattern..."
//   CancelError  the owner treats a cancel as an error (ShowSave returns false)
//   Flags        OverwritePrompt (2): ask before an existing file is chosen
//   FileName     in: the proposed name; out: the chosen full path
// The dialog is Qt's own (never the desktop's native one), modal to its
// owner, so that tests can find it with SaveDialog::showing() and drive it.
#include <QObject>
#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

class SaveDialog : public QObject {
    Q_OBJECT
public:
    enum : int { OverwritePrompt = 2 };

    explicit SaveDialog(const QString &name, QObject *parent = nullptr);

    QString DialogTitle;
    QString Filter;
    bool CancelError = false;
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
};
