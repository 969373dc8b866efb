#include "framework/win32/auto_layout.h"

namespace {

RECT ControlRect(HWND dialog, HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

AutoLayout::AutoLayout(HWND window) : window_(window) {}

void AutoLayout::Add(int controlId, int kind, int edge, int, int, int, int)
{
    HWND control = GetDlgItem(window_, controlId);
    if (control == nullptr)
        return;
    RECT client{};
    GetClientRect(window_, &client);
    const RECT rect = ControlRect(window_, control);
    const int distance = edge == Right ? client.right - rect.right : client.bottom - rect.bottom;
    rules_.push_back(Rule{controlId, kind, edge, distance});
}

void AutoLayout::Apply()
{
    RECT client{};
    GetClientRect(window_, &client);
    for (const Rule& rule : rules_) {
        HWND control = GetDlgItem(window_, rule.controlId);
        if (control == nullptr)
            continue;
        RECT rect = ControlRect(window_, control);
        const int target = (rule.edge == Right ? client.right : client.bottom) - rule.distance;
        LONG& farSide = rule.edge == Right ? rect.right : rect.bottom;
        LONG& nearSide = rule.edge == Right ? rect.left : rect.top;
        if (rule.kind == Move)
            nearSide += target - farSide;
        farSide = target;
        if (farSide < nearSide)
            farSide = nearSide;
        MoveWindow(control, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
}
