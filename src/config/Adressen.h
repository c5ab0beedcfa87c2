#pragma once
#include "platform/Form.h"

// The stream-addresses window.
class Adressen : public Form {
    Q_OBJECT
public:
    Adressen();
};
