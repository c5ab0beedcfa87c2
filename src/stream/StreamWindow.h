#pragma once
#include "platform/Form.h"

// The window of one stream slot ("Stream1" .. "Stream4").
class StreamWindow : public Form {
    Q_OBJECT
public:
    explicit StreamWindow(int slot);
    int slot() const { return m_slot; }

private:
    int m_slot;
};
