#pragma once
// TSetupCommands: the main window's set-up dialogs ("Enable Speech Feedback", "Email", "Edit
// Card Information", "Group Definition", "Auto IN/OUT Time", "Define Tallyclock Table", "Door
// Open Button", "Offline Access Table"), "Set Password" and "About Tallyclock", and the door
// button's release of the lock. What a dialog stored the window then shows. Main thread only.

#include "desk/commandcontext.h"

class TSetupCommands
{
public:
    explicit TSetupCommands(const TCommandContext &context) : m_context(context) {}

    void SetUpSpeech();
    // On OK the e-mail timer is armed anew.
    void SetUpEmail();
    // The log grid is hidden meanwhile; when a card changed, the staff data is reopened.
    void EditCards();
    // The group editor it opens goes through the window's dialog runner too.
    void DefineGroups();
    // Whatever the dialog's result, the IN/OUT panel shows or hides as stored and follows the
    // schedule read anew.
    void SetUpAutoInOut();
    void DefineTimeTable();
    // On OK the door button, its caption and the tray's "Open Door" follow what it stored.
    void SetUpDoorButton();
    void EditOfflineAccess();
    // Releases the chosen reader's relay (nothing goes out while its port is closed) and beeps;
    // no log row.
    void OpenDoor();
    // The old password first when one is registered, then the new one twice.
    void SetPassword();
    void ShowAbout();

private:
    TCommandContext m_context;
};
