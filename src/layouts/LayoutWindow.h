#pragma once
#include "platform/Form.h"

// The one-row and one-column windows of the four players.
class LayoutWindow : public Form {
    Q_OBJECT
public:
    explicit LayoutWindow(bool horizontal);
};
