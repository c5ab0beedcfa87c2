#pragma once
// The enlarge and shrink steps of a real window: its geometry read as it is
// now, one step of LayoutGeometry applied to it, and written back whole or
// not at all.
#include "layouts/LayoutGeometry.h"

#include <vector>

class Form;
class TwipGeometry;

namespace SizeSteps {

// The window's outer size and the controls' rectangles, in twips.
LayoutGeometry::WindowState stateOf(const Form *window, const std::vector<TwipGeometry *> &controls);

// The bounds of the window where it stands now: controls no smaller than
// the minimum, every menu title visible, and the window within its
// screen's available area (it grows to the right and downwards).
LayoutGeometry::Limits limitsOf(const Form *window, double minControlWidth, double minControlHeight);

// One step of `amounts` on the window and its controls (in the order of
// `amounts`); false, and nothing changed, when the step is refused.
bool take(Form *window, const LayoutGeometry::StepAmounts &amounts, const std::vector<TwipGeometry *> &controls,
          double minControlWidth, double minControlHeight, LayoutGeometry::Step direction);

} // namespace SizeSteps
