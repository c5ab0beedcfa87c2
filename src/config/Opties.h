#pragma once
#include "platform/Form.h"

// The options window.
class Opties : public Form {
    Q_OBJECT
public:
    Opties();
};
