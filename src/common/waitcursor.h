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
