#pragma once

// Shows the wait cursor for as long as the object lives, so that every exit
// path (returns, exceptions) puts the normal cursor back.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    // Puts the normal cursor back before the end of the scope, e.g. before a
    // message box; calling it again (or the destructor afterwards) does nothing.
    void restore();

    bool isActive() const { return active; }

private:
    bool active = false;
};

// The normal cursor for as long as the object lives (a message box is up),
// whatever wait cursor an outer scope holds; the outer one comes back after.
class NormalCursor
{
public:
    NormalCursor();
    ~NormalCursor();
    NormalCursor(const NormalCursor &) = delete;
    NormalCursor &operator=(const NormalCursor &) = delete;

private:
    bool active = false;
};
