// AutoLayout: keeps a dialog's controls in place when the dialog is resized. Each
// rule names a control, whether it stretches (0) or moves (1), and along which edge
// (2 the right edge, 3 the bottom edge): a stretching control keeps its distance to
// that edge by changing its size, a moving one by changing its position.
#pragma once

#include "windows_api.h"

#include <vector>

class AutoLayout {
public:
    enum Kind { Stretch = 0, Move = 1 };
    enum Edge { Right = 2, Bottom = 3 };

    explicit AutoLayout(HWND window);

    // (control id, kind, edge, 0, edge, 0, 0): the zeros are room for offsets this
    // layout does not need. Remembers the control's distance to the edge now.
    void Add(int controlId, int kind, int edge, int unused1, int edge2, int unused2, int unused3);
    // Re-applies every rule to the window's current size.
    void Apply();

private:
    struct Rule {
        int controlId;
        int kind;
        int edge;
        int distance; // pixels from the control's far side to the edge
    };
    HWND window_;
    std::vector<Rule> rules_;
};
