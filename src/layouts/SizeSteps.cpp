#include "layouts/SizeSteps.h"
#include "platform/Form.h"
#include "platform/TwipGeometry.h"

using namespace LayoutGeometry;

namespace SizeSteps {

WindowState stateOf(const Form *window, const std::vector<TwipGeometry *> &controls)
{
    WindowState s;
    s.outerWidth = window->outerWidthTw();
    s.outerHeight = window->outerHeightTw();
    for (const TwipGeometry *c : controls)
        s.controls.push_back({c->Left(), c->Top(), c->Width(), c->Height()});
    return s;
}

Limits limitsOf(const Form *window, double minControlWidth, double minControlHeight)
{
    Limits l;
    l.minPlayerWidth = minControlWidth;
    l.minPlayerHeight = minControlHeight;
    const QSizeF nonClient = window->nonClientTw();
    // Narrower than its menus, the menu bar would hide them behind an
    // overflow button.
    l.minOuterWidth = window->menusWidthTw() + nonClient.width();
    const QPointF corner = window->frameTopLeftTw();
    const QRectF avail = window->availableAreaTw();
    keepOnScreen(l, corner.x(), corner.y(), {avail.x(), avail.y(), avail.width(), avail.height()});
    return l;
}

bool take(Form *window, const StepAmounts &amounts, const std::vector<TwipGeometry *> &controls, double minControlWidth,
          double minControlHeight, Step direction)
{
    const WindowState now = stateOf(window, controls);
    const WindowState next = step(amounts, now, direction);
    if (!allowed(now, next, limitsOf(window, minControlWidth, minControlHeight)))
        return false;
    window->setOuterWidthTw(next.outerWidth);
    window->setOuterHeightTw(next.outerHeight);
    for (std::size_t n = 0; n < controls.size(); ++n) {
        const TwRect &r = next.controls[n];
        controls[n]->placeTw(r.left, r.top, r.width, r.height);
    }
    return true;
}

} // namespace SizeSteps
