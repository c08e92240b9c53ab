#pragma once
// `TWaitCursor`: shows the hourglass over the whole program while it lives and puts back the
// cursor that was there before, also when the work throws. Guards nest. Main thread only.

class TWaitCursor
{
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;

private:
    bool m_shown = false;
};
