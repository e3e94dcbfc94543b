#pragma once

class Kalvo;

// The black full-screen window and monitor power. UI thread only.
class Blackscreen {
public:
    explicit Blackscreen(Kalvo& k) : k(k) {}
    void EnableBlackscreen();         // the "BS" box changed
    void OpenBlackscreen();           // a song started with "BS" on
    void LeaveBlackscreen();
    void CheckMonitorPower(int rawMessage);

private:
    Kalvo& k;
};
