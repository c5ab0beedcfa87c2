#pragma once
#include "platform/Form.h"

// The snapshot preview window.
class SnapshotWindow : public Form {
    Q_OBJECT
public:
    SnapshotWindow();
};
