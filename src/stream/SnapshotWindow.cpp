#include "stream/SnapshotWindow.h"
#include "common/Labels.h"
#include "platform/Clipboard.h"
#include "platform/Forms.h"
#include "platform/SaveDialog.h"
#include "stream/BitmapFile.h"

#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

SnapshotWindow::SnapshotWindow() : Form(WindowKey::Snapshot)
{
    setWindowTitle(QStringLiteral("Snapshot"));
    setDesign(6345, 5775, Frame::Sizable, true, true);
    setClientColour(Qt::black);
    QWidget *c = client();

    Label1 = Labels::boldOnBlack(c, "Label1", QStringLiteral("Verkleinde Snapshot:"), 8.25, QColor(224, 224, 224));
    placeTw(Label1, 1440, 120, 3375, 255);

    // The picture fills the frame, width and height scaled independently.
    Image1 = new QLabel(c);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFrameShape(QFrame::Box);
    Image1->setLineWidth(1);
    Image1->setScaledContents(true);
    QPalette imagePal = Image1->palette();
    imagePal.setColor(QPalette::WindowText, QColor(160, 160, 160)); // the border line
    Image1->setPalette(imagePal);
    placeTw(Image1, 1440, 480, 4755, 4665);

    Command1 = new QPushButton(QStringLiteral("Opslaan"), c);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTw(Command1, 120, 480, 975, 375);
    connect(Command1, &QPushButton::clicked, this, &SnapshotWindow::Command1_Click);

    Command3 = new QPushButton(QStringLiteral("Sluiten"), c);
    Command3->setObjectName(QStringLiteral("Command3"));
    placeTw(Command3, 4990, 5280, 1215, 375);
    connect(Command3, &QPushButton::clicked, this, &SnapshotWindow::Command3_Click);

    setTabChain({Command1, Command3});
    Command1->setFocus();

    Snapshot = new SaveDialog(QStringLiteral("Snapshot"), this);
}

void SnapshotWindow::Form_Load()
{
    m_picture = Clipboard::picture();
    if (!m_picture.isNull())
        Image1->setPixmap(QPixmap::fromImage(m_picture));
}

void SnapshotWindow::Command1_Click()
{
    // Without a picture there is nothing to save.
    if (m_picture.isNull())
        return;
    Snapshot->DialogTitle = QStringLiteral("Snapshot opslaan als...");
    Snapshot->Filter = QStringLiteral("Bitmap (*.bmp)|*.bmp");
    Snapshot->Flags = SaveDialog::OverwritePrompt;

    QPointer<SnapshotWindow> self(this);
    const bool chosen = Snapshot->ShowSave(this);
    // Cancel, or the window went while the dialog was up: nothing is written.
    if (!self || !chosen || Snapshot->FileName.isEmpty())
        return;
    // The full captured picture, under exactly the chosen name; a failed
    // write ends the command silently and the window stays open.
    BitmapFile::write(m_picture, Snapshot->FileName);
}

void SnapshotWindow::Command3_Click() { Forms::unload(WindowKey::Snapshot); }
