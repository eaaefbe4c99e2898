// The user at the desktop, whose own rights a per-user product's uninstaller gets
// while this program runs elevated: a command a standard user could write into HKCU
// must never run with the administrator's token.
#pragma once
#include <windows.h>

class CDesktopUser {
public:
    virtual ~CDesktopUser() = default;
    // True when this program runs with the full token of a split (UAC) logon, so the
    // desktop's programs run with less. False before Vista and where UAC is off.
    virtual bool ProgramIsElevated() const;
    // A primary token of the desktop shell's process (the user's own, unelevated
    // rights) for the caller to close; null when there is no shell window (a
    // service's desktop, Wine without a desktop) or the shell itself runs elevated.
    virtual HANDLE OpenToken() const;

    // The desktop user that uninstall commands ask. Tests put their own in place
    // (the system has no shell window under Wine); null puts the system's back.
    static const CDesktopUser& Current();
    static void Replace(const CDesktopUser* user);
};
