// The operator of the control sheet in unattended runs (tests, the demo). Once the
// sheet has had time to paint, it carries out one action (take a picture, press Apply
// and OK, ...), which should close the sheet. Any message box raised meanwhile it
// prints on standard output and answers with its most cautious button (Cancel, No or
// Abort; otherwise the box's only kind of answer). A sheet still open some time after
// the action is closed with Cancel, so that an unattended run always ends.
// Works through a timer of the sheet, on the sheet's thread.
#pragma once

#include "windows_api.h"

#include <functional>

class UnattendedOperator {
public:
    using Action = std::function<void(HWND sheet)>;

    explicit UnattendedOperator(Action action);
    ~UnattendedOperator();
    UnattendedOperator(const UnattendedOperator&) = delete;
    UnattendedOperator& operator=(const UnattendedOperator&) = delete;

    // The sheet has its window: the operator starts watching it (once; later calls do
    // nothing). The operator must outlive the sheet's window.
    void Start(HWND sheet);

    // The sheet outlived the action and was closed with Cancel.
    bool ForcedToCancel() const { return forcedToCancel_; }

private:
    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
    void Tick();

    Action action_;
    HWND sheet_ = nullptr;
    int ticks_ = 0;
    int actionEnd_ = -1; // the tick the action returned at
    bool acting_ = false;
    bool forcedToCancel_ = false;
};

// Answers every message box of the calling thread but the sheet itself (see above);
// returns how many it answered.
int AnswerMessageBoxes(HWND sheet);
