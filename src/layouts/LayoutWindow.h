#pragma once
#include "common/FourPlayerWindow.h"
#include "layouts/LayoutGeometry.h"

// The one-row window "Horizontaal" and the one-column window "verticaal":
// four players of their own, full screen and topmost commands, steps that
// enlarge or shrink the window with its players, and the switches to the
// main window and to the other layout. Both windows are this class; what
// differs between them is the LayoutDesign they are built from.
class LayoutWindow : public FourPlayerWindow {
    Q_OBJECT
public:
    explicit LayoutWindow(bool horizontal);
    void Form_Load() override;

    const LayoutGeometry::LayoutDesign &design() const { return m_design; }

    QAction *mnuStreep2, *mnuVergroot, *mnuVerklein, *mnuStreep, *mnuNormaal;
    // The item that opens the other layout: mnuVerticaal in the row window,
    // mnuHorizontaal in the column window; the other pointer stays null.
    QAction *mnuVerticaal = nullptr, *mnuHorizontaal = nullptr;

    // One enlarge or shrink step; false (and nothing changed) when refused.
    bool stepSize(LayoutGeometry::Step direction);

    // Command handlers
    void mnuVergroot_Click();
    void mnuVerklein_Click();
    void mnuNormaal_Click();
    void mnuSwitch_Click(); // mnuVerticaal / mnuHorizontaal

private:
    const LayoutGeometry::LayoutDesign &m_design;
};
