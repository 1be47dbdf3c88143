// Pellavine: a melody editor for the text terminal.
#include "editor/editor.h"
#include "menu/menu.h"
#include "platform/term.h"

int main()
{
    if (int rc = termstart(); rc != 0)
        return rc;
    tbset();
    int status = edit();
    termstop();
    if (int sig = termsignal(); sig != 0)
        return 128 + sig;
    return status;
}
