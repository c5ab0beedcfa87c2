#pragma once
#include "platform/Form.h"

#include <QImage>

class QLabel;
class QPushButton;
class SaveDialog;

// The snapshot preview window: the picture taken from the clipboard when
// the window was created, shown reduced, and saved through a save dialog.
// There is one for the whole program.
class SnapshotWindow : public Form {
    Q_OBJECT
public:
    SnapshotWindow();
    void Form_Load() override;

    QLabel *Label1;
    QLabel *Image1;
    QPushButton *Command1, *Command3;
    SaveDialog *Snapshot;

    // The picture in its captured size (Image1 only shows it stretched).
    QImage picture() const { return m_picture; }

    // Handlers
    void Command1_Click();
    void Command3_Click();

private:
    QImage m_picture;
};
