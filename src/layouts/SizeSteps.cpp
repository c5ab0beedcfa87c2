#include "layouts/SizeSteps.h"
#include "platform/Form.h"
#include "platform/TwipGeometry.h"

using namespace LayoutGeometry;

namespace SizeSteps {

WindowState stateOf(const Form *window, const std::vector<TwipGeometry *> &controls)
{
    WindowState s;
    s.outerWidth = float(window->outerWidthTw());
    s.outerHeight = float(window->outerHeightTw());
    for (const TwipGeometry *c : controls)
        s.controls.push_back({float(c->Left()), float(c->Top()), float(c->Width()), float(c->Height())});
    return s;
}

Limits limitsOf(const Form *window, float minControlWidth, float minControlHeight)
{
    Limits l;
    l.minPlayerWidth = minControlWidth;
    l.minPlayerHeight = minControlHeight;
    const QSizeF nonClient = window->nonClientTw();
    // Narrower than its menus, the menu bar would hide them behind an
    // overflow button.
    l.minOuterWidth = float(window->menusWidthTw() + nonClient.width());
    const QPointF corner = window->frameTopLeftTw();
    const QRectF avail = window->availableAreaTw();
    keepOnScreen(l, float(corner.x()), float(corner.y()),
                 {float(avail.x()), float(avail.y()), float(avail.width()), float(avail.height())});
    return l;
}

bool take(Form *window, const StepAmounts &amounts, const std::vector<TwipGeometry *> &controls,
          float minControlWidth, float minControlHeight, Step direction)
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
