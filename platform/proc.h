#pragma once
// Starting and stopping other programs. Nothing here goes through a shell.
#include <string>

// Starts the tone player `pellavine-beep` from the editor's own folder,
// detached; nothing happens when it is missing.
void startplayer();
// Sends SIGTERM to every player this process started that still runs.
void stopplayers();
// Opens a web address in the desktop's browser, detached; the result is ignored.
void openurl(const std::string& url);
